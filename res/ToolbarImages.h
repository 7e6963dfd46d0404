// The toolbar bitmap (15 images of 16 by 15 pixels) and the program icon, painted at start-up.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace vrn::res
{
// Image `index` (0..14) of the toolbar bitmap; a null pixmap for other indexes.
QPixmap ToolbarImage(int index);
// The whole bitmap: 15 images side by side (240 by 15 pixels).
QImage ToolbarBitmap();
// The program icon at `size` pixels square.
QPixmap ProgramIconPixmap(int size);
QIcon ProgramIcon();
}  // namespace vrn::res
