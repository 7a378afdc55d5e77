#pragma once
// The program's artwork, drawn in code so that it scales to any control size.
#include <QPixmap>
#include <QSize>
#include <string>

// The picture called name at size: "icon" (the program's icon) or "banner" (a strip for the
// bottom edge of a window). An unknown name gives a transparent picture. GUI thread only.
QPixmap DrawPicture(const std::string& name, QSize size);
