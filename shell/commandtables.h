#pragma once
// The main window's menu tree and standard toolbar as data: names, captions,
// tooltips and pictures, and which menu command each toolbar key runs. The
// window builds its widgets from these tables; the items' shortcuts come
// from the key table (base/keytable), which holds every key.

#include <vector>

namespace qln {

struct MenuEntry {
    const char *name; // nullptr: separator; "name{" opens a submenu, "}" ends it
    const char *caption;
};

struct MenuDef {
    const char *name;
    const char *caption;
    std::vector<MenuEntry> items;
};

// The top-level menus in order, each with its items in order.
const std::vector<MenuDef> &menuTree();

struct ToolbarEntry {
    const char *key; // nullptr: separator
    const char *tooltip;
    // Freedesktop icon names, closest meaning first, separated by blanks;
    // the first one the icon theme has is shown.
    const char *themeIcon;
    // A bundled drawing (:/shell/icons/<fallback>.png) for a button no
    // theme name fits; nullptr while the theme has them all.
    const char *fallback;
};

// Bold, Italic and Underline are items 13 to 15, separators counted.
const std::vector<ToolbarEntry> &toolbarItems();

// The menu command a toolbar key runs, or nullptr for keys that act on
// their own (the style buttons). The Html converter has no button: the
// converter does not exist, and its menu item stays hidden.
const char *menuCommandOfKey(const char *key);

} // namespace qln
