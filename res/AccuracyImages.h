// Images of the accuracy toolbar (16 by 15 pixels, like the classic toolbar's), drawn with QPainter.
#pragma once

#include <QPixmap>

namespace vrn::res
{
// The image of an accuracy command (kIdViewStatistics, kIdFileExportTrack, kIdTtffCampaign); a null
// pixmap for other ids.
QPixmap AccuracyCommandImage(int id);
}  // namespace vrn::res
