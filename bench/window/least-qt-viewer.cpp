// The least a Qt Widgets program does to show a picture: the application, one label holding
// the picture, shown at its full size; the right arrow key steps to the next file named. It
// stands in the window benchmark for the floor under any viewer built on Qt Widgets, Tavelix
// included: what Qt itself costs in time and memory before the first picture.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QStringList>

namespace {

class TLeastViewer : public QLabel {
public:
    explicit TLeastViewer(QStringList files) : FFiles(std::move(files)) { ShowFile(); }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() != Qt::Key_Right || FAt + 1 >= FFiles.size()) return QLabel::keyPressEvent(event);
        ++FAt;
        ShowFile();
    }

private:
    void ShowFile() {
        const QPixmap picture(FFiles[FAt]);
        setPixmap(picture);
        resize(picture.size());
    }
    QStringList FFiles;
    qsizetype FAt = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QStringList files = QApplication::arguments().mid(1);
    if (files.isEmpty()) return 2;
    TLeastViewer viewer(std::move(files));
    viewer.show();
    return application.exec();
}
