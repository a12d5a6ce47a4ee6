#include "completion/ui/icons/completionicons.h"

#include <array>

// The pictures live in a static library; its resource initialiser is only
// linked in when something calls it (and the macro must not be used inside
// a namespace).
static void initCompletionIcons()
{
    Q_INIT_RESOURCE(completion_icons);
}

namespace qln {

namespace {

struct Image {
    const char *file;
    const char *caption;
};

constexpr std::array<Image, kCompletionImageCount> kImages = {{
    {"package", "Package"},
    {"class", "Public or undefined class"},
    {"interface", "Public or undefined interface"},
    {"protected-class", "Protected class"},
    {"protected-interface", "Protected interface"},
    {"method", "Public or undefined method"},
    {"final-method", "Public or undefined final method"},
    {"variable", "Public or undefined variable"},
    {"final-variable", "Public or undefined final variable"},
    {"protected-method", "Protected method"},
    {"protected-final-method", "Protected final method"},
    {"protected-variable", "Protected variable"},
    {"protected-final-variable", "Protected final variable"},
}};

void initResources()
{
    static const bool done = [] {
        initCompletionIcons();
        return true;
    }();
    Q_UNUSED(done);
}

} // namespace

QString completionIconPath(int image)
{
    if (image < 1 || image > kCompletionImageCount)
        return QString();
    return QStringLiteral(":/completion/icons/%1.png")
        .arg(QLatin1String(kImages[size_t(image - 1)].file));
}

QString completionIconCaption(int image)
{
    if (image < 1 || image > kCompletionImageCount)
        return QString();
    return QString::fromLatin1(kImages[size_t(image - 1)].caption);
}

QIcon completionIcon(int image)
{
    if (image < 1 || image > kCompletionImageCount)
        return QIcon();
    // A list of hundreds of members asks for the same thirteen pictures
    // over and over: read each once.
    static std::array<QIcon, kCompletionImageCount> icons;
    QIcon &icon = icons[size_t(image - 1)];
    if (icon.isNull()) {
        initResources();
        icon = QIcon(completionIconPath(image));
    }
    return icon;
}

} // namespace qln
