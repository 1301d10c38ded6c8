// marlix-sqa-cli render: the window's picture and its geometry, without a display.
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <sstream>

#include "FormFixture.h"
#include "render.h"

namespace marlix::ui::test {
namespace {

class RenderTest : public FormFixture {
  protected:
    int Render(const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        return cli::RunRender(args, out, err);
    }
    std::string Path(const char* name) const { return (dataDir.path() + '/' + name).toStdString(); }
    std::ostringstream out, err;
};

TEST_F(RenderTest, WritesThePictureAndAlignedLayoutOfADay) {
    WriteDay(yesterday);
    const std::string png = Path("day.png");
    const std::string layout = Path("day.json");
    ASSERT_EQ(Render({"--data-dir", dataDir.path().toStdString(), "--date", "2026-03-14", "--size", "900x600",
                      "--out", png, "--layout", layout}),
              0)
        << err.str();
    EXPECT_EQ(err.str(), "");
    const QImage image(QString::fromStdString(png));
    EXPECT_EQ(image.size(), QSize(900, 600));

    QFile file(QString::fromStdString(layout));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonArray charts = QJsonDocument::fromJson(file.readAll()).object()["charts"].toArray();
    ASSERT_EQ(charts.size(), 3);
    const int left = charts[0].toObject()["plot_rect"].toArray()[0].toInt();
    const int right = charts[0].toObject()["plot_rect"].toArray()[2].toInt();
    for (const auto& chart : charts) {
        const QJsonArray plot = chart.toObject()["plot_rect"].toArray();
        EXPECT_EQ(plot[0].toInt(), left);
        EXPECT_LE(std::abs(plot[2].toInt() - right), 1);
        const QJsonArray bottom =
            chart.toObject()["axes"].toObject()["bottom"].toObject()["labels"].toArray();
        ASSERT_FALSE(bottom.isEmpty());
        EXPECT_EQ(bottom.last().toObject()["text"].toString(), "00:00");
    }
    const QJsonObject mode = charts[2].toObject();
    EXPECT_EQ(mode["name"].toString(), "ChartMode");
    EXPECT_EQ(mode["axes"].toObject()["right"].toObject()["labels"].toArray().size(), 3);
    EXPECT_FALSE(charts[1].toObject()["axes"].toObject().contains("right"));  // PDOP has no right axis
}

TEST_F(RenderTest, MissingDayIsOneLineOnStderrAndExitOne) {
    EXPECT_EQ(
        Render({"--data-dir", dataDir.path().toStdString(), "--date", "2026-03-10", "--out", Path("x.png")}),
        1);
    const std::string message = err.str();
    EXPECT_NE(message.find("2026-03-10_rx_data.txt"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("x.png"))));
}

TEST_F(RenderTest, FilesSetThePickerToTheirDay) {
    const std::string day = WriteDay(yesterday.addDays(-3)).toStdString();
    const std::string layout = Path("files.json");
    ASSERT_EQ(Render({"--out", Path("files.png"), "--layout", layout, day}), 0) << err.str();
    QFile file(QString::fromStdString(layout));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(file.readAll()).object()["picker_date"].toString(), "2026-03-11");
}

TEST_F(RenderTest, AnUnwritablePictureSaysWhy) {
    WriteDay(yesterday);
    const std::string png = Path("nodir/x.png");
    EXPECT_EQ(Render({"--data-dir", dataDir.path().toStdString(), "--date", "2026-03-14", "--out", png}), 1);
    EXPECT_EQ(err.str(), "marlix-sqa-cli: cannot write " + png + ": No such file or directory\n");
    const std::string layout = Path("nodir/x.json");
    EXPECT_EQ(Render({"--data-dir", dataDir.path().toStdString(), "--date", "2026-03-14", "--out",
                      Path("y.png"), "--layout", layout}),
              1);
    EXPECT_EQ(err.str(), "marlix-sqa-cli: cannot write " + layout + ": No such file or directory\n");
}

TEST_F(RenderTest, BadArgumentsGiveUsageAndExitTwo) {
    EXPECT_EQ(Render({"--date", "2026-03-14"}), 2);  // no --out
    EXPECT_EQ(Render({"--out", Path("x.png"), "--size", "12x"}), 2);
    EXPECT_EQ(Render({"--out", Path("x.png"), "--date", "2026-02-30"}), 2);
    EXPECT_NE(err.str().find("usage: marlix-sqa-cli render"), std::string::npos);
    // A suffix that names no picture format written here is refused before anything is drawn.
    for (const char* name : {"x.gif", "x.pngx", "x"}) {
        EXPECT_EQ(Render({"--out", Path(name)}), 2) << name;
        EXPECT_EQ(err.str().substr(0, err.str().find('\n')),
                  "marlix-sqa-cli render: --out wants a name ending in .png, .jpg, .jpeg or .bmp, not '" +
                      Path(name) + "'");
        EXPECT_FALSE(QFile::exists(QString::fromStdString(Path(name))));
    }
}

// The suffix names the format written, and a size below the window's minimum says what was drawn.
TEST_F(RenderTest, WritesTheFormatItsSuffixNamesAtTheSizeItSays) {
    WriteDay(yesterday);
    TFormMainOptions options;
    options.runStartup = false;
    const int startHeight = TFormMain(std::move(options)).height();
    EXPECT_GT(startHeight, TFormMain::kDesignHeight);
    for (const auto& [name, format] : {std::pair{"day.PNG", "png"}, std::pair{"day.jpg", "jpeg"},
                                       std::pair{"day.jpeg", "jpeg"}, std::pair{"day.bmp", "bmp"}}) {
        ASSERT_EQ(
            Render({"--data-dir", dataDir.path().toStdString(), "--date", "2026-03-14", "--out", Path(name)}),
            0)
            << err.str();
        EXPECT_EQ(err.str(), "") << name;
        QImageReader reader(QString::fromStdString(Path(name)));
        reader.setDecideFormatFromContent(true);
        EXPECT_EQ(reader.format(), format) << name;
        // Without --size, the window's size at start: the design's, with the status line below it.
        EXPECT_EQ(reader.size(), QSize(TFormMain::kDesignWidth, startHeight)) << name;
    }
    ASSERT_EQ(Render({"--data-dir", dataDir.path().toStdString(), "--date", "2026-03-14", "--size", "200x150",
                      "--out", Path("small.png")}),
              0);
    const QSize drawn = QImage(QString::fromStdString(Path("small.png"))).size();
    ASSERT_GT(drawn.width(), 200);
    EXPECT_EQ(err.str(), "marlix-sqa-cli: 200x150 is below the window's minimum size; drawn at " +
                             std::to_string(drawn.width()) + "x" + std::to_string(drawn.height()) + "\n");
}

TEST_F(RenderTest, FromAndToZoomTheShownDay) {
    WriteDay(yesterday);
    const std::string layout = Path("zoom.json");
    ASSERT_EQ(Render({"--data-dir", dataDir.path().toStdString(), "--date", "2026-03-14", "--from", "09:58",
                      "--to", "10:04", "--out", Path("zoom.png"), "--layout", layout}),
              0)
        << err.str();
    QFile file(QString::fromStdString(layout));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonArray charts = QJsonDocument::fromJson(file.readAll()).object()["charts"].toArray();
    ASSERT_EQ(charts.size(), 3);
    for (const auto& chart : charts) {
        QStringList texts;
        for (const auto& label : chart.toObject()["axes"].toObject()["bottom"].toObject()["labels"].toArray())
            texts << label.toObject()["text"].toString();
        EXPECT_EQ(texts, (QStringList{"10:04", "10:03", "10:02", "10:01", "10:00", "09:59", "09:58"}));
    }
}

TEST_F(RenderTest, FromAndToMustBeTimesInOrderAndGivenTogether) {
    const std::string png = Path("x.png");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--from", "10:00"}, "--from and --to go together"},
        {{"--to", "10:00"}, "--from and --to go together"},
        {{"--from", "10:30", "--to", "10:00"}, "--from must be before --to"},
        {{"--from", "10:00", "--to", "10:00"}, "--from must be before --to"},
        {{"--from", "9:00", "--to", "10:00"}, "--from wants a time HH:MM (00:00 to 24:00), not '9:00'"},
        {{"--from", "10:00", "--to", "24:01"}, "--to wants a time HH:MM (00:00 to 24:00), not '24:01'"},
        {{"--from", "10:60", "--to", "11:00"}, "--from wants a time HH:MM (00:00 to 24:00), not '10:60'"},
    };
    for (const auto& [extra, problem] : cases) {
        std::vector<std::string> args{"--out", png};
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(Render(args), 2) << problem;
        EXPECT_EQ(err.str().substr(0, err.str().find('\n')), "marlix-sqa-cli render: " + problem);
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(png)));
}

}  // namespace
}  // namespace marlix::ui::test
