#include "app_icons.h"

#include <QFile>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QString>
#include <QSvgRenderer>

#include "rules/window_ids.h"

// The bundled pictures live in a static library, whose resources are only
// registered when asked for.
static void InitBundledIcons()
{
    Q_INIT_RESOURCE(voxreel);
}

namespace {
QString Bundled(const char* pszName)
{
    static const bool bReady = (InitBundledIcons(), true);
    (void)bReady;
    return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(pszName));
}
} // namespace

namespace {
// A bundled monochrome drawing in the palette's button text colour, drawn
// from its vector at whatever size and scale is asked: the tool buttons stay
// readable in a dark palette and sharp at 200 %. The drawings are made in
// one ink colour, which is replaced.
class CInkedSvgEngine final : public QIconEngine {
public:
    explicit CInkedSvgEngine(const QString& path)
    {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            m_svg = file.readAll();
    }
    void paint(QPainter* pPainter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        QSvgRenderer renderer(Inked(mode));
        renderer.render(pPainter, rect);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }
    QIconEngine* clone() const override { return new CInkedSvgEngine(*this); }

private:
    QByteArray Inked(QIcon::Mode mode) const
    {
        const QPalette::ColorGroup group =
            mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active;
        const QColor ink = QGuiApplication::palette().color(group, QPalette::ButtonText);
        QByteArray svg = m_svg;
        return svg.replace("#2e3436", ink.name().toLatin1());
    }

    QByteArray m_svg;
};
} // namespace

QIcon ThemedIcon(const char* pszName)
{
    return QIcon::fromTheme(QLatin1String(pszName), QIcon(new CInkedSvgEngine(Bundled(pszName))));
}

QIcon ProgramIcon()
{
    return QIcon(Bundled("voxreel"));
}

QIcon PlayingMarkIcon()
{
    return QIcon(Bundled("playing-mark"));
}

QPixmap StatusIconPixmap(int nIconId)
{
    const char* pszName = nIconId == IDI_CLIENT_CONNECTED ? "status-connected" : "status-idle";
    // Drawn for the densest screen, so it stays sharp when scaled.
    return QIcon(Bundled(pszName)).pixmap(QSize(32, 32), qGuiApp->devicePixelRatio());
}
