// The drawn views on screens scaled to 200 % and 150 % (QT_SCALE_FACTOR, which must be set before the
// application starts: the test runs itself again in a child process for each scale).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPixmap>
#include <QProcess>
#include <filesystem>

#include "SurfaceTestSupport.h"
#include "config/CAppSettings.h"
#include "views/CRadarView.h"
#include "views/CSignalView.h"
#include "views/GdiPaint.h"

using namespace vrn;
using namespace vrn::gui;

namespace
{
constexpr const char* kChildVariable = "VRN_HIDPI_CHILD";

void CheckViewsAtScale(double factor)
{
    const auto dir = std::filesystem::temp_directory_path() / ("vrn-hidpi-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    CAppSettings::SetProfilePath((dir / "vrnrcvr.ini").string());

    CRadarView radar;
    radar.resize(900, 600);
    radar.show();
    radar.OnInitialUpdate();
    ASSERT_DOUBLE_EQ(radar.devicePixelRatioF(), factor);
    const CRadarCanvas& canvas = radar.Canvas();
    EXPECT_EQ(canvas.Ratio(), 2);
    EXPECT_EQ(SurfaceSize(canvas.Screen()), radar.Chart().size());
    const Box sky = canvas.Layout().skySquare[0];
    EXPECT_GT(OffGridEdgeShare(canvas.Screen(), QRect(2 * sky.left + 16, 2 * sky.top + 16, 100, 100)), 0.3);

    // The widget shows the surface at the screen's own resolution.
    const QImage shot = radar.Chart().grab().toImage();
    EXPECT_DOUBLE_EQ(shot.devicePixelRatio(), factor);
    EXPECT_NEAR(shot.width(), radar.Chart().width() * factor, 1.0);
    if (factor != 2.0)
    {
        // Scaled down smoothly: the ring's edge has shades between white and the sky.
        const QColor skyColour(11, 121, 201);
        int shades = 0;
        const int left = static_cast<int>((sky.left + 15) * factor);
        const int top = static_cast<int>((sky.top + 15) * factor);
        for (int y = top; y < top + 60; ++y)
            for (int x = left; x < left + 60; ++x)
            {
                const QColor c = shot.pixelColor(x, y);
                shades += c != skyColour && c != QColor(255, 255, 255) ? 1 : 0;
            }
        EXPECT_GT(shades, 10);
    }

    CSignalView signal;
    signal.resize(740, 600);
    signal.show();
    signal.OnInitialUpdate();
    EXPECT_EQ(signal.Canvas().Ratio(), 2);
    EXPECT_EQ(SurfaceSize(signal.Canvas().Screen()), signal.size());
    EXPECT_EQ(signal.Canvas().Strip(0).Graph().size(),
              QSize(signal.Canvas().Strip(0).GraphWidth(), signal.Canvas().Strip(0).GraphHeight()) * 2);

    CAppSettings::SetProfilePath({});
    std::filesystem::remove_all(dir);
}
}  // namespace

TEST(HiDpiWidgets, DrawnViewsFollowTheScreenScale)
{
    const QByteArray child = qgetenv(kChildVariable);
    if (!child.isEmpty())
    {
        CheckViewsAtScale(child.toDouble());
        return;
    }
    for (const char* factor : {"2", "1.5"})
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(factor));
        environment.insert(QString::fromLatin1(kChildVariable), QString::fromLatin1(factor));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--gtest_filter=HiDpiWidgets.DrawnViewsFollowTheScreenScale")});
        ASSERT_TRUE(process.waitForFinished(120000)) << factor;
        const QString output = QString::fromLocal8Bit(process.readAll());
        EXPECT_EQ(process.exitCode(), 0) << "scale " << factor << "\n" << output.toStdString();
        EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
    }
}
