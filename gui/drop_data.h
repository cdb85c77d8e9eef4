// What a drop delivers, turned into drag items: a URI list (one file path or URI per line), or text.
#pragma once

#include <string>
#include <string_view>

#include "gui/drag_container.h"

namespace gui {

// `isUriList`: the data is of type text/uri-list. file:// URIs become file items with their path
// decoded (%20 and the like); other URIs stay text; comment lines are skipped. Other data is one text item.
CDragContainer dropItems(std::string_view data, bool isUriList);

// The path of a file:// URI ("file:///a%20b" or "file://host/a%20b" give "/a b"); empty if not one.
std::string pathOfFileUri(std::string_view uri);

}  // namespace gui
