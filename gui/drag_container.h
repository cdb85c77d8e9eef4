// What a drag carries onto a view: the dropped items, each a file path or a piece of text.
#pragma once

#include <string>
#include <utility>
#include <vector>

class CDragContainer {
public:
    enum class Type { File, Text, Unknown };
    struct Item {
        Type type = Type::Unknown;
        std::string data;
    };

    CDragContainer() = default;
    explicit CDragContainer(std::vector<Item> items) : items_(std::move(items)) {}

    std::size_t getCount() const { return items_.size(); }
    const Item* item(std::size_t index) const { return index < items_.size() ? &items_[index] : nullptr; }
    void add(Type type, std::string data) { items_.push_back({type, std::move(data)}); }

private:
    std::vector<Item> items_;
};
