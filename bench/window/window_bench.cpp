// The window's speed on the offscreen platform (a 1920 x 1200 screen unless QT_QPA_PLATFORM
// says otherwise), each case next to a peer timed in the same run:
//
//   Larger/repaint    "10% Larger" on a 1280 x 1024 working copy, from the command to the
//                     finished repaint of the picture area; peer: a plain copy of the same
//                     picture's bytes. Goal: under 16 ms (one frame at 60 Hz).
//   Drag/step         one drag-over step of a clip frame over a 1280 x 1024 picture: the old
//                     frame erased, the new one drawn, the changed area repainted; peer: a
//                     full repaint of the picture area. Goal: well under the full repaint,
//                     so the frame follows the pointer.
//   Smaller 6000x4000 "10% Smaller" on a 6000 x 4000 photograph (over the pixel limit, where
//                     "10% Larger" does nothing); peer: a plain copy of that picture's bytes.
//                     Goal: under 16 ms where it can be; the time says where it is not.
//   Paint 6000x4000   the first paint of a 6000 x 4000 picture just put in view (its display
//                     copy made and the visible part painted); peer: the same copy.
//   Open/first-paint  opening a 1280 x 1024 JPEG through the open command until the picture
//                     is painted; peer: reading and decoding the file alone. Goal: at most
//                     1.3 times the decode.
//
// The ratios are printed at the end (time over the peer's).
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScrollArea>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "engine/tavelix.h"
#include "ratio_reporter.h"
#include "raster/jpegimage.h"
#include "raster/pictureregistry.h"
#include "ui/Utavelix.h"
#include "ui/forms.h"
#include "ui/pictureview.h"
#include "ui/prompts.h"

namespace {

using namespace tavelix;
using namespace tavelix::ui;

// Answers the open dialog with one file; everything else is cancelled.
class TBenchPrompts : public TPrompts {
public:
    QString File;
    QStringList PicturesToOpen(const QString&) override { return {File}; }
    QString SaveName(const QString&, const QString&) override { return {}; }
    bool PasswordRequest() override { return false; }
    void Message(const QString& text) override { qWarning("unexpected message: %s", qPrintable(text)); }
    bool OkCancel(const QString&) override { return false; }
    int Choose(const QString&, const QStringList& buttons) override { return int(buttons.size()) - 1; }
    void ShowModal(QDialog&) override {}
};

// The sample photograph stretched to 1280 x 1024: detail like a photograph's.
TBitmap Photo(std::int32_t width = 1280, std::int32_t height = 1024) {
    TJPEGImage sample;
    sample.LoadFromFile(TAVELIX_SAMPLE);
    TStoreFormat format;
    format.Layout = TPixelLayout::Rgb(24);
    TBitmap photo;
    photo.Allocate(width, height, format);
    photo.Canvas().DrawStretched(Rect(0, 0, width, height), &sample.Bitmap());
    return photo;
}

struct TWindow {
    TForms Forms = CreateForms();
    TBenchPrompts Prompts;
    TFtavelix& W = *Forms.Ftavelix;

    TWindow() {
        W.Prompts().SetTarget(&Prompts);
        W.show();
        while (!W.windowHandle() || !W.windowHandle()->isExposed()) QCoreApplication::processEvents();
    }
    // Paints what the picture area needs now, and hands it to the screen.
    void Repaint() { W.Ui.ScrollBox1->viewport()->repaint(); }
    // Paints what is waiting to be painted, and only that, as the event loop would next.
    void PaintPending() { QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest); }
};

// Counts the paints of one widget.
struct TPaintCounter : QObject {
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++Paints;
        return false;
    }
};

// "10% Larger" (state.range(2) 1) or "10% Smaller" (0) on a picture of range(0) x range(1), from
// the command to the finished repaint of the picture area.
void BM_ZoomToRepaint(benchmark::State& state) {
    TWindow window;
    window.W.Working() = Photo(std::int32_t(state.range(0)), std::int32_t(state.range(1)));
    const bool larger = state.range(2) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        window.W.View().Picture().CopyFrom(window.W.Working());
        window.W.FitWindowToPicture();
        window.Repaint();
        state.ResumeTiming();
        if (larger)
            window.W.LargerClick();
        else
            window.W.SmallerClick();
        window.Repaint();
    }
    const std::int64_t expected = state.range(0) * (larger ? 11 : 9) / 10;
    if (window.W.View().Width() != expected) state.SkipWithError("the picture was not zoomed");
}

void BM_CopyPicture(benchmark::State& state) {
    const TBitmap photo = Photo(std::int32_t(state.range(0)), std::int32_t(state.range(1)));
    const std::span<const std::uint8_t> bytes = photo.StoreBytes();
    std::vector<std::uint8_t> copy(bytes.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), bytes.data(), bytes.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
}

// A picture just put in view, painted for the first time.
void BM_FirstPaint(benchmark::State& state) {
    TWindow window;
    window.W.Working() = Photo(std::int32_t(state.range(0)), std::int32_t(state.range(1)));
    const int before = window.W.Ui.PictureView->Rebuilds();
    for (auto _ : state) {
        state.PauseTiming();
        window.W.View().Picture().CopyFrom(window.W.Working());
        window.W.FitWindowToPicture();
        state.ResumeTiming();
        window.Repaint();
    }
    if (window.W.Ui.PictureView->Rebuilds() - before < state.iterations()) state.SkipWithError("no new display copy");
}

// A clip frame dragged over the whole picture: each step moves its far corner between two
// points, so every step erases one large frame and draws another.
void BM_DragStep(benchmark::State& state) {
    TWindow window;
    window.W.Working() = Photo();
    window.W.View().Picture().CopyFrom(window.W.Working());
    window.W.FitWindowToPicture();
    window.Repaint();
    TPaintCounter paints;
    window.W.Ui.PictureView->installEventFilter(&paints);
    window.W.dmStartDrag();
    window.W.dmDragOver(20, 20);
    window.W.dmDragOver(640, 512);
    window.PaintPending();
    bool far = true;
    const int before = paints.Paints;
    for (auto _ : state) {
        if (far)
            window.W.dmDragOver(1260, 1000);
        else
            window.W.dmDragOver(640, 512);
        far = !far;
        window.PaintPending();
    }
    const int painted = paints.Paints - before;
    window.W.Ui.PictureView->removeEventFilter(&paints);
    window.W.dmEndDrag();  // the question is answered Cancel
    if (painted < state.iterations()) state.SkipWithError("a step was not painted");
    if (window.W.Ui.PictureView->Rebuilds() > 2) state.SkipWithError("the display copy was rebuilt whole");
}

void BM_FullRepaint(benchmark::State& state) {
    TWindow window;
    window.W.Working() = Photo();
    window.W.View().Picture().CopyFrom(window.W.Working());
    window.W.FitWindowToPicture();
    window.Repaint();
    TPaintCounter paints;
    window.W.Ui.PictureView->installEventFilter(&paints);
    // The whole picture painted from its display copy and handed to the screen. (A repaint of
    // the picture area alone would not repaint the picture: it covers the area opaquely.)
    for (auto _ : state) window.W.Ui.PictureView->repaint();
    window.W.Ui.PictureView->removeEventFilter(&paints);
    if (paints.Paints < state.iterations()) state.SkipWithError("a repaint did not paint the picture");
}

QString PhotoFile() {
    static const QString path = [] {
        const QString name = QDir::temp().filePath("tavelix-window-bench.jpg");
        TJPEGImage jpeg;
        jpeg.Assign(Photo());
        jpeg.Encode();
        QFile file(name);
        if (file.open(QIODevice::WriteOnly))
            file.write(reinterpret_cast<const char*>(jpeg.Data().data()), qint64(jpeg.Data().size()));
        return name;
    }();
    return path;
}

void BM_OpenToFirstPaint(benchmark::State& state) {
    TWindow window;
    window.Prompts.File = PhotoFile();
    for (auto _ : state) {
        window.W.openClick();
        window.Repaint();
    }
    if (window.W.View().Width() != 1280 || window.W.Ui.PictureView->Rebuilds() < 2)
        state.SkipWithError("the picture was not opened and painted");
}

void BM_DecodeAlone(benchmark::State& state) {
    const std::string name = QFile::encodeName(PhotoFile()).toStdString();
    for (auto _ : state) {
        TJPEGImage jpeg;
        jpeg.LoadFromFile(name);
        benchmark::DoNotOptimize(&jpeg.Bitmap());
    }
}

BENCHMARK(BM_ZoomToRepaint)->Name("Larger/repaint")->Args({1280, 1024, 1})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyPicture)->Name("Larger/peer: copy the picture")->Args({1280, 1024})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZoomToRepaint)->Name("Smaller 6000x4000/repaint")->Args({6000, 4000, 0})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FirstPaint)->Name("Paint 6000x4000/first paint")->Args({6000, 4000})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyPicture)->Name("6000x4000/peer: copy the picture")->Args({6000, 4000})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DragStep)->Name("Drag/step")->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_FullRepaint)->Name("Drag/peer: full repaint")->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_OpenToFirstPaint)->Name("Open/first-paint")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeAlone)->Name("Open/peer: decode alone")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QByteArray screens;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        const QString config = QDir::temp().filePath("tavelix-window-bench-screens.json");
        QFile file(config);
        if (file.open(QIODevice::WriteOnly))
            file.write(R"({"screens":[{"name":"bench","x":0,"y":0,"width":1920,"height":1200,)"
                       R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
        screens = "offscreen:configfile=" + QFile::encodeName(config);
        qputenv("QT_QPA_PLATFORM", screens);
    }
    QApplication application(argc, argv);
    tavelix::RegisterJpegPictureType();
    const int result = tavelix::bench::RunWithRatios(
        argc, argv,
        {{"Larger/repaint/1280/1024/1/real_time", "Larger/peer: copy the picture/1280/1024/real_time"},
         {"Smaller 6000x4000/repaint/6000/4000/0/real_time", "6000x4000/peer: copy the picture/6000/4000/real_time"},
         {"Paint 6000x4000/first paint/6000/4000/real_time", "6000x4000/peer: copy the picture/6000/4000/real_time"},
         {"Drag/step/real_time", "Drag/peer: full repaint/real_time"},
         {"Open/first-paint/real_time", "Open/peer: decode alone/real_time"}});
    tavelix::UnregisterJpegPictureType();
    QFile::remove(QDir::temp().filePath("tavelix-window-bench.jpg"));
    return result;
}
