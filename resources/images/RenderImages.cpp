// Renders Tessaly's SVG images into PNG files at build time: every image at
// its own size and at twice that (name@2x.png, for high-DPI screens), and
// the application icon at the sizes of the icon theme.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

namespace {

bool render(QSvgRenderer& svg, QSize size, const QString& path) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: tessaly_render_images OUTDIR IMAGE.svg...\n");
        return 2;
    }
    const QDir out(args.first());
    bool ok = true;
    for (const QString& source : args.mid(1)) {
        QSvgRenderer svg(source);
        if (!svg.isValid()) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(source));
            return 1;
        }
        const QString name = QFileInfo(source).completeBaseName();
        const QSize size = svg.defaultSize();
        ok = render(svg, size, out.filePath(name + ".png")) && ok;
        ok = render(svg, size * 2, out.filePath(name + "@2x.png")) && ok;
        if (name == QLatin1String("tessaly"))
            for (int edge : {16, 24, 32, 48, 64, 128, 256, 512})
                ok = render(svg, {edge, edge},
                            out.filePath(QString("hicolor/%1x%1/apps/tessaly.png").arg(edge))) &&
                     ok;
    }
    return ok ? 0 : 1;
}
