#pragma once
// The thirteen pictures of the completion box, in image-list order (image 1
// is the package), with the caption each one stands for. The completion box
// and the help window's legend show the same pictures.

#include <QIcon>
#include <QString>

namespace qln {

inline constexpr int kCompletionImageCount = 13;

// Image 1..13: the picture, its resource path and its caption ("Package",
// "Public or undefined class", ...). Other numbers give a null icon and "".
QIcon completionIcon(int image);
QString completionIconPath(int image);
QString completionIconCaption(int image);

} // namespace qln
