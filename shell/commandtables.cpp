#include "shell/commandtables.h"

#include <cstring>

namespace qln {

const std::vector<MenuDef> &menuTree()
{
    static const std::vector<MenuDef> tree = {
        {"file", "&File",
         {{"newwindow", "New Window", "Ctrl+W"},
          {"new", "&New", "Ctrl+N"},
          {"Open", "&Open", "Ctrl+O"},
          {nullptr, nullptr, nullptr},
          {"Save", "&Save", "Ctrl+S"},
          {"Save_as", "Save &As...", "Ctrl+A"},
          {nullptr, nullptr, nullptr},
          {"printa", "&Print", "Ctrl+P"},
          {"printd", "Print...", ""},
          {nullptr, nullptr, nullptr},
          {"Exit", "E&xit", "Alt+Backspace"}}},
        {"Edit", "&Edit",
         {{"undo", "&Undo", ""},
          {"redo", "Redo", "Ctrl+Y; Ctrl+Shift+Z"},
          {nullptr, nullptr, nullptr},
          {"Cut", "Cu&t", "Ctrl+X"},
          {"Copy", "&Copy", "Ctrl+C"},
          {"Paste", "Past&e\tCtrl+V", ""},
          {"plaintext{", "P&lain text", ""},
          {"plaintextcut", "Cut", ""},
          {"plaintextcopy", "Copy", ""},
          {"plaintextpaste", "Paste", ""},
          {"}", nullptr, nullptr},
          {"selectall", "&Select All", ""},
          {nullptr, nullptr, nullptr},
          {"Find", "&Find...", "Ctrl+F"},
          {"Find_next", "Find &next", "F3"},
          {"replace", "&Replace...", ""},
          {nullptr, nullptr, nullptr},
          {"gotoline", "&Goto Line...", "Ctrl+G"},
          {nullptr, nullptr, nullptr},
          {"preferences", "&Preferences...", ""}}},
        {"format", "Fo&rmat",
         {{"colorizeallrtf", "&Colorize all", ""},
          {"spellcorrectallrtf", "&Spell correct all", ""},
          {"indentallrtf", "Auto&Indent all", ""},
          {nullptr, nullptr, nullptr},
          {"changecase{", "C&hange Case", ""},
          {"lowercase", "lowercase\tAlt+L", ""},
          {"uppercase", "UPPERCASE\tAlt+U", ""},
          {"invertcase", "Invert Case\tAlt+I", ""},
          {"capitalize", "Capitalize\tAlt+C", ""},
          {"}", nullptr, nullptr},
          {nullptr, nullptr, nullptr},
          {"font", "&Font...", ""},
          {nullptr, nullptr, nullptr},
          {"background", "&Background...", ""}}},
        {"insert", "In&sert",
         {{"timeanddate", "&Time and Date...", ""},
          {nullptr, nullptr, nullptr},
          {"infile", "Fi&le...", ""},
          {nullptr, nullptr, nullptr},
          {"editstructures", "Edit St&ructures ...", ""},
          {nullptr, nullptr, nullptr},
          {"insertif", "&If", "Shift+F1"},
          {"insertifelse", "if / &Else", "Shift+F2"},
          {"insertswitch", "&Switch", "Shift+F3"},
          // Shift+F4 goes to the previous error of the last tool run.
          {"insertforloop", "&For loop", ""},
          {"insertwhileloop", "&While loop", "Shift+F5"},
          {"insertdowhileloop", "&Do While loop", "Shift+F6"}}},
        {"tools", "&Tools",
         {{"run", "&Run...", "Ctrl+F1"},
          {"compile", "&Compile...", "Ctrl+F2"},
          {"appletviewer", "&Appletviewer...", "Ctrl+F3"},
          {"jar", "&Java Archive Tool...", "Ctrl+F4"},
          {"htmlconverter", "&Html converter...", "Ctrl+F5"},
          {"native2asciiconverter", "&Native 2 ASCII converter...", ""},
          {"javadoc", "Javadoc...", ""},
          {"javap", "Javap...", ""},
          {nullptr, nullptr, nullptr},
          {"nexterror", "Ne&xt Error", "F4"},
          {"previouserror", "Pre&vious Error", "Shift+F4"}}},
        {"view", "&View",
         {{"viewStandardtoolbar", "&Standard Toolbar", "Shift+Ctrl+F1"},
          {"viewformattingtoolbar", "&Formatting Toolbar", "Shift+Ctrl+F2"},
          {"viewstatusbar", "S&tatus Bar", "Shift+Ctrl+F3"}}},
        {"help", "Help", {{"about", "About", ""}}},
    };
    return tree;
}

// Bold, Italic and Underline must stay items 13 to 15, separators counted.
const std::vector<ToolbarEntry> &toolbarItems()
{
    static const std::vector<ToolbarEntry> items = {
        {"New", "New FIle", "document-new", nullptr},
        {"Open", "Open FIle", "document-open", nullptr},
        {nullptr, nullptr, nullptr, nullptr},
        {"Save", "Save", "document-save", nullptr},
        {"SaveAs", "Save As", "document-save-as", nullptr},
        {nullptr, nullptr, nullptr, nullptr},
        {"Print", "Print", "document-print", nullptr},
        {nullptr, nullptr, nullptr, nullptr},
        {"Cut", "Cut", "edit-cut", nullptr},
        {"Copy", "Copy", "edit-copy", nullptr},
        {"Paste", "Paste", "edit-paste", nullptr},
        {nullptr, nullptr, nullptr, nullptr},
        {"Bold", "Bold", "format-text-bold", nullptr},
        {"Italic", "Italic", "format-text-italic", nullptr},
        {"Underline", "Underline", "format-text-underline", nullptr},
        {nullptr, nullptr, nullptr, nullptr},
        {"Find", "Find", "edit-find", nullptr},
        {nullptr, nullptr, nullptr, nullptr},
        {"run", "Run", "media-playback-start", nullptr},
        {"compile", "Compile", "system-run", nullptr},
        {"appletviewer", "Appletviewer", "applications-internet", nullptr},
        {"jar", "Java Archive Tool", "package-x-generic", nullptr},
        {"htmlconverter", "Html converter", "text-html", nullptr},
        {nullptr, nullptr, nullptr, nullptr},
        {"autoindentall", "Autoindent all", "format-indent-more", nullptr},
        {"colorizeall", "Colorize all", "format-fill-color preferences-desktop-theme", nullptr},
        {"spellcorrectall", "Spell correct all", "tools-check-spelling", nullptr},
        {nullptr, nullptr, nullptr, nullptr},
        {"Preferences", "Preferences", "preferences-system", nullptr},
        {"Help", "Help", "help-contents help-browser", nullptr},
    };
    return items;
}

// Which menu command a toolbar key runs; keys not listed do something of
// their own (the style buttons) or nothing (htmlconverter).
const char *menuCommandOfKey(const char *key)
{
    static const std::pair<const char *, const char *> map[] = {
        {"New", "new"},
        {"Open", "Open"},
        {"Save", "Save"},
        {"SaveAs", "Save_as"},
        {"Print", "printa"},
        {"Cut", "Cut"},
        {"Copy", "Copy"},
        {"Paste", "Paste"},
        {"Find", "Find"},
        {"run", "run"},
        {"compile", "compile"},
        {"appletviewer", "appletviewer"},
        {"jar", "jar"},
        {"autoindentall", "indentallrtf"},
        {"colorizeall", "colorizeallrtf"},
        {"spellcorrectall", "spellcorrectallrtf"},
        {"Preferences", "preferences"},
        {"Help", "about"},
    };
    for (const auto &[k, item] : map)
        if (std::strcmp(key, k) == 0)
            return item;
    return nullptr;
}

} // namespace qln
