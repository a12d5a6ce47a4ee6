#include "shell/commandtables.h"

#include <cstring>

namespace qln {

const std::vector<MenuDef> &menuTree()
{
    static const std::vector<MenuDef> tree = {
        {"file",
         "&File",
         {{"newwindow", "New &Window"},
          {"new", "&New"},
          {"Open", "&Open"},
          {nullptr, nullptr},
          {"Save", "&Save"},
          {"Save_as", "Save &As..."},
          {nullptr, nullptr},
          {"printa", "&Print"},
          {"printd", "P&rint..."},
          {nullptr, nullptr},
          {"Exit", "E&xit"}}},
        {"Edit",
         "&Edit",
         {{"undo", "&Undo"},
          {"redo", "Re&do"},
          {nullptr, nullptr},
          {"Cut", "Cu&t"},
          {"Copy", "&Copy"},
          {"Paste", "Past&e\tCtrl+V"},
          {"plaintext{", "P&lain text"},
          {"plaintextcut", "Cu&t"},
          {"plaintextcopy", "&Copy"},
          {"plaintextpaste", "&Paste"},
          {"}", nullptr},
          {"selectall", "&Select All"},
          {nullptr, nullptr},
          {"Find", "&Find..."},
          {"Find_next", "Find &next"},
          {"replace", "&Replace..."},
          {nullptr, nullptr},
          {"gotoline", "&Goto Line..."},
          {nullptr, nullptr},
          {"preferences", "&Preferences..."}}},
        {"format",
         "Fo&rmat",
         {{"colorizeallrtf", "&Colorize all"},
          {"spellcorrectallrtf", "&Spell correct all"},
          {"indentallrtf", "Auto&Indent all"},
          {nullptr, nullptr},
          {"changecase{", "C&hange Case"},
          {"lowercase", "&lowercase\tAlt+L"},
          {"uppercase", "&UPPERCASE\tAlt+U"},
          {"invertcase", "&Invert Case\tAlt+I"},
          {"capitalize", "&Capitalize\tAlt+C"},
          {"}", nullptr},
          {nullptr, nullptr},
          {"font", "&Font..."},
          {nullptr, nullptr},
          {"background", "&Background..."},
          {nullptr, nullptr},
          {"formatautotreesearch", "Auto &Tree Search"},
          {"formatautospellcorrect", "Auto S&pell correct"},
          {"formatautosyntaxcolor", "Auto Synta&x colorizing"}}},
        {"insert",
         "In&sert",
         {{"timeanddate", "&Time and Date..."},
          {nullptr, nullptr},
          {"infile", "Fi&le..."},
          {nullptr, nullptr},
          {"editstructures", "Edit St&ructures ..."},
          {nullptr, nullptr},
          {"insertif", "&If"},
          {"insertifelse", "if / &Else"},
          {"insertswitch", "&Switch"},
          {"insertforloop", "&For loop"},
          {"insertwhileloop", "&While loop"},
          {"insertdowhileloop", "&Do While loop"}}},
        {"tools",
         "&Tools",
         {{"run", "&Run..."},
          {"compile", "&Compile..."},
          {"appletviewer", "&Appletviewer..."},
          {"jar", "&Java Archive Tool..."},
          {"htmlconverter", "&Html converter..."},
          {"native2asciiconverter", "&Native 2 ASCII converter..."},
          {"javadoc", "Java&doc..."},
          {"javap", "Java&p..."},
          {nullptr, nullptr},
          {"nexterror", "Ne&xt Error"},
          {"previouserror", "Pre&vious Error"}}},
        {"view",
         "&View",
         {{"viewStandardtoolbar", "&Standard Toolbar"},
          {"viewformattingtoolbar", "&Formatting Toolbar"},
          {"viewstatusbar", "S&tatus Bar"}}},
        {"help", "&Help", {{"about", "&About"}}},
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
// their own (the style buttons).
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
