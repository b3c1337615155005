// A stand-in for a file manager in the end-to-end test: a small window that
// starts dragging the file named on its command line when it is pressed.
//   dragsource FILE

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

namespace {

class DragSource : public QWidget
{
public:
    explicit DragSource(const QString &file)
        : m_file(file)
    {
        setWindowTitle(QStringLiteral("drag source"));
        resize(120, 80);
    }

protected:
    void mousePressEvent(QMouseEvent *) override
    {
        auto *data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(m_file)});
        auto *drag = new QDrag(this);
        drag->setMimeData(data);
        drag->exec(Qt::CopyAction);
    }

private:
    QString m_file;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    DragSource source(QString::fromLocal8Bit(argv[1]));
    source.move(0, 0);
    source.show();
    return app.exec();
}
