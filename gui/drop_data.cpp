#include "gui/drop_data.h"

namespace gui {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == '\0' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::string pathOfFileUri(std::string_view uri) {
    constexpr std::string_view kScheme = "file://";
    if (uri.substr(0, kScheme.size()) != kScheme) return {};
    uri.remove_prefix(kScheme.size());
    // An authority (usually empty or the host name) comes before the absolute path.
    const auto slash = uri.find('/');
    if (slash == std::string_view::npos) return {};
    uri.remove_prefix(slash);
    std::string path;
    path.reserve(uri.size());
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && hexDigit(uri[i + 1]) >= 0 && hexDigit(uri[i + 2]) >= 0) {
            path.push_back(static_cast<char>(hexDigit(uri[i + 1]) * 16 + hexDigit(uri[i + 2])));
            i += 2;
        } else {
            path.push_back(uri[i]);
        }
    }
    return path;
}

CDragContainer dropItems(std::string_view data, bool isUriList) {
    CDragContainer items;
    data = trimmed(data);
    if (!isUriList) {
        if (!data.empty()) items.add(CDragContainer::Type::Text, std::string(data));
        return items;
    }
    while (!data.empty()) {
        const auto end = data.find('\n');
        std::string_view line = trimmed(data.substr(0, end));
        data = end == std::string_view::npos ? std::string_view{} : data.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        std::string path = pathOfFileUri(line);
        if (!path.empty())
            items.add(CDragContainer::Type::File, std::move(path));
        else
            items.add(CDragContainer::Type::Text, std::string(line));
    }
    return items;
}

}  // namespace gui
