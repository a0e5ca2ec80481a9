#include "app/splash_picture.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <numbers>

namespace lithora::gui {

namespace {

// Everything below is in design pixels of the 480 x 300 picture; y grows downwards on the
// canvas, but the crystals are modelled in 3-D with y up and z towards the viewer.
struct Vec3 {
    double x;
    double y;
    double z;
};

Vec3 operator-(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 operator+(const Vec3& a, const Vec3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator*(double s, const Vec3& a) {
    return {s * a.x, s * a.y, s * a.z};
}
double dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 normalized(const Vec3& a) {
    const double length = std::sqrt(dot(a, a));
    return length > 0 ? (1.0 / length) * a : a;
}
double radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

// A hexagonal prism closed by a six-sided pyramid, growing out of the rock at base.
struct Crystal {
    QPointF base;
    double length;     // of the prism
    double tip;        // height of the pyramid
    double radius;     // axis to a prism edge
    double leanDeg;    // axis from the vertical in the picture plane, clockwise positive
    double spinDeg;    // about its own axis, so neighbours do not show the same facets
    double hue;        // 0..1
    double saturation; // 0..1
};

// Painted in order, each over those before it: the tall ones stand behind the rock's crest,
// the small ones in front of it.
const Crystal kBackCrystals[] = {
    {{80, 262}, 92, 30, 16, -31, 24, 0.74, 0.45},
    {{172, 258}, 106, 34, 18, 25, 8, 0.77, 0.42},
    {{124, 256}, 150, 46, 25, -7, 12, 0.75, 0.50},
};
const Crystal kFrontCrystals[] = {
    {{101, 282}, 66, 21, 12, -17, 40, 0.56, 0.22},
    {{153, 281}, 54, 17, 10, 40, 18, 0.79, 0.38},
};

// Tipping every crystal's top towards the viewer shows its pyramid faces, as a specimen looks
// when seen from a little above.
constexpr double kPitchDeg = 16;
const Vec3 kLight = normalized({-0.55, 0.6, 0.6}); // from the upper left, in front
const Vec3 kHalfway = normalized(kLight + Vec3{0, 0, 1});

QColor tone(const Crystal& crystal, double lightness, double alpha) {
    return QColor::fromHslF(static_cast<float>(crystal.hue), static_cast<float>(crystal.saturation),
                            static_cast<float>(std::clamp(lightness, 0.0, 0.97)),
                            static_cast<float>(alpha));
}

class CrystalModel {
  public:
    explicit CrystalModel(const Crystal& crystal)
        : m_crystal(crystal), m_pitch(radians(kPitchDeg)), m_lean(radians(crystal.leanDeg)) {}

    void paint(QPainter& painter) const {
        const Crystal& c = m_crystal;
        Vec3 bottom[6];
        Vec3 top[6];
        for (int k = 0; k < 6; ++k) {
            const double angle = radians(c.spinDeg + 60.0 * k);
            const double x = c.radius * std::cos(angle);
            const double z = c.radius * std::sin(angle);
            bottom[k] = place({x, 0, z});
            top[k] = place({x, c.length, z});
        }
        const Vec3 apex = place({0, c.length + c.tip, 0});
        // Any point inside the solid tells outward from inward normals.
        const Vec3 inside = place({0, c.length * 0.9, 0});

        // One gradient along the whole axis: light at the point, fading into the rock below.
        QLinearGradient along(screen(apex), screen(place({0, 0, 0})));
        for (int k = 0; k < 6; ++k) {
            const int next = (k + 1) % 6;
            paintFace(painter, {bottom[k], bottom[next], top[next], top[k]}, inside, along);
            paintFace(painter, {top[k], top[next], apex}, inside, along);
        }
        paintFrontEdge(painter, bottom, top);
    }

    QPointF apexOnScreen() const { return screen(place({0, m_crystal.length + m_crystal.tip, 0})); }

  private:
    Vec3 place(const Vec3& local) const {
        const double y = local.y * std::cos(m_pitch) - local.z * std::sin(m_pitch);
        const double z = local.y * std::sin(m_pitch) + local.z * std::cos(m_pitch);
        return {local.x * std::cos(m_lean) + y * std::sin(m_lean),
                -local.x * std::sin(m_lean) + y * std::cos(m_lean), z};
    }
    QPointF screen(const Vec3& v) const {
        return {m_crystal.base.x() + v.x, m_crystal.base.y() - v.y};
    }

    void paintFace(QPainter& painter, std::initializer_list<Vec3> corners, const Vec3& inside,
                   QLinearGradient gradient) const {
        const Vec3* v = corners.begin();
        Vec3 normal = normalized(cross(v[1] - v[0], v[2] - v[0]));
        Vec3 centre{0, 0, 0};
        for (const Vec3& corner : corners)
            centre = centre + (1.0 / static_cast<double>(corners.size())) * corner;
        if (dot(normal, centre - inside) < 0) normal = -1.0 * normal;
        if (normal.z <= 0.01) return; // faces away from the viewer

        const double diffuse = std::max(0.0, dot(normal, kLight));
        const double shine = std::pow(std::max(0.0, dot(normal, kHalfway)), 28);
        const double lightness = 0.30 + 0.40 * diffuse + 0.30 * shine;
        gradient.setColorAt(0.0, tone(m_crystal, lightness + 0.10, 0.96));
        gradient.setColorAt(0.55, tone(m_crystal, lightness, 0.90));
        // Transparent at the foot, so a crystal in front of the rock seems to grow out of it.
        gradient.setColorAt(0.85, tone(m_crystal, lightness - 0.14, 0.55));
        gradient.setColorAt(1.0, tone(m_crystal, lightness - 0.18, 0.0));
        QLinearGradient edge = gradient;
        const int edgeAlpha = static_cast<int>(34 + 120 * shine);
        edge.setStops({{0.0, QColor(255, 255, 255, edgeAlpha)},
                       {0.8, QColor(255, 255, 255, edgeAlpha / 2)},
                       {1.0, QColor(255, 255, 255, 0)}});

        QPolygonF polygon;
        for (const Vec3& corner : corners)
            polygon << screen(corner);
        painter.setPen(QPen(QBrush(edge), 0.7));
        painter.setBrush(gradient);
        painter.drawPolygon(polygon);
    }

    // The prism edge nearest the viewer catches the light as a thin bright streak.
    void paintFrontEdge(QPainter& painter, const Vec3* bottom, const Vec3* top) const {
        const int front = static_cast<int>(
            std::max_element(bottom, bottom + 6,
                             [](const Vec3& a, const Vec3& b) { return a.z < b.z; }) -
            bottom);
        const QPointF from = screen(top[front]);
        const QPointF to = screen(bottom[front]);
        QLinearGradient streak(from, to);
        streak.setColorAt(0.0, QColor(255, 255, 255, 150));
        streak.setColorAt(0.7, QColor(255, 255, 255, 30));
        streak.setColorAt(1.0, QColor(255, 255, 255, 0));
        painter.setPen(QPen(QBrush(streak), 1.1));
        painter.drawLine(from, to);
    }

    Crystal m_crystal;
    double m_pitch;
    double m_lean;
};

void paintBackground(QPainter& painter) {
    QLinearGradient sky(0, 0, 0, 300);
    sky.setColorAt(0.0, QColor(36, 31, 72));
    sky.setColorAt(1.0, QColor(16, 13, 34));
    painter.fillRect(QRectF(0, 0, 480, 300), sky);

    QRadialGradient sheen(QPointF(400, 30), 280);
    sheen.setColorAt(0.0, QColor(96, 124, 210, 52));
    sheen.setColorAt(1.0, QColor(96, 124, 210, 0));
    painter.fillRect(QRectF(0, 0, 480, 300), sheen);

    QRadialGradient glow(QPointF(126, 160), 150);
    glow.setColorAt(0.0, QColor(176, 138, 255, 120));
    glow.setColorAt(0.5, QColor(150, 110, 240, 40));
    glow.setColorAt(1.0, QColor(150, 110, 240, 0));
    painter.fillRect(QRectF(0, 0, 480, 300), glow);
}

void paintRock(QPainter& painter) {
    // An angular outline reads as broken rock where a smooth one would look like a mound.
    const QPointF outline[] = {{4, 310},   {8, 292},   {20, 278},  {38, 268},  {60, 260},
                               {82, 263},  {104, 256}, {126, 262}, {146, 255}, {170, 258},
                               {192, 252}, {212, 261}, {230, 271}, {244, 287}, {252, 310}};
    QPainterPath rock;
    rock.addPolygon(QPolygonF(std::begin(outline), std::end(outline)));
    rock.closeSubpath();

    QLinearGradient body(0, 250, 0, 300);
    body.setColorAt(0.0, QColor(66, 56, 92));
    body.setColorAt(1.0, QColor(20, 16, 32));
    painter.setPen(QPen(QColor(206, 186, 255, 70), 1.0));
    painter.setBrush(body);
    painter.drawPath(rock);

    // Glinting grains; a fixed sequence so the picture is the same at every start.
    painter.save();
    painter.setClipPath(rock);
    painter.setPen(Qt::NoPen);
    std::uint32_t seed = 20260612;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / static_cast<double>(1u << 24);
    };
    for (int i = 0; i < 70; ++i) {
        const QPointF at(10 + 240 * next(), 252 + 48 * next());
        painter.setBrush(QColor(220, 205, 255, static_cast<int>(20 + 70 * next())));
        painter.drawEllipse(at, 0.5 + next(), 0.5 + next());
    }
    painter.restore();
}

// A soft shadow where a crystal in front enters the rock.
void paintFoot(QPainter& painter, const Crystal& crystal) {
    const QPointF centre = crystal.base - QPointF(0, crystal.radius * 0.4);
    QRadialGradient shadow(centre, crystal.radius * 1.8);
    shadow.setColorAt(0.0, QColor(8, 6, 16, 150));
    shadow.setColorAt(1.0, QColor(8, 6, 16, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shadow);
    painter.drawEllipse(centre, crystal.radius * 1.8, crystal.radius * 1.8);
}

void paintSparkle(QPainter& painter, const QPointF& centre, double size) {
    QRadialGradient halo(centre, size);
    halo.setColorAt(0.0, QColor(255, 255, 255, 170));
    halo.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(halo);
    painter.drawEllipse(centre, size, size);
    painter.setBrush(QColor(255, 255, 255, 210));
    const double thin = size * 0.07;
    for (const QPointF& arm : {QPointF(size * 1.4, thin), QPointF(thin, size * 1.4)}) {
        QPolygonF ray;
        ray << centre + QPointF(-arm.x(), 0) << centre + QPointF(0, -arm.y())
            << centre + QPointF(arm.x(), 0) << centre + QPointF(0, arm.y());
        painter.drawPolygon(ray);
    }
}

// The largest pixel size up to wanted at which text fits in width.
QFont fitted(QFont font, int wanted, const QString& text, double width) {
    for (int size = wanted; size > 8; --size) {
        font.setPixelSize(size);
        if (QFontMetricsF(font).horizontalAdvance(text) <= width) break;
    }
    return font;
}

void paintTitle(QPainter& painter) {
    // The text block is centred in the right part of the picture, clear of the crystals.
    constexpr double kLeft = 240;
    constexpr double kTextWidth = 226;
    const double centreX = kLeft + kTextWidth / 2;

    QFont titleFont;
    titleFont.setFamilies(
        {QStringLiteral("Lato"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    titleFont.setWeight(QFont::Light);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    const QString title = QStringLiteral("Lithora");
    titleFont = fitted(titleFont, 60, title, kTextWidth);
    const double titleWidth = QFontMetricsF(titleFont).horizontalAdvance(title);
    QPainterPath titlePath;
    titlePath.addText(QPointF(centreX - titleWidth / 2, 150), titleFont, title);
    QLinearGradient titleFill(0, 100, 0, 152);
    titleFill.setColorAt(0.0, QColor(255, 255, 255));
    titleFill.setColorAt(1.0, QColor(206, 190, 250));
    painter.setPen(Qt::NoPen);
    painter.setBrush(titleFill);
    painter.drawPath(titlePath);

    QLinearGradient rule(kLeft + 10, 0, kLeft + kTextWidth - 10, 0);
    rule.setColorAt(0.0, QColor(190, 170, 255, 0));
    rule.setColorAt(0.5, QColor(190, 170, 255, 180));
    rule.setColorAt(1.0, QColor(190, 170, 255, 0));
    painter.fillRect(QRectF(kLeft + 10, 170, kTextWidth - 20, 1), rule);

    QFont subtitleFont = titleFont;
    subtitleFont.setWeight(QFont::Normal);
    subtitleFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    const QString subtitle = QStringLiteral("Mineral species reference");
    subtitleFont = fitted(subtitleFont, 15, subtitle, kTextWidth);
    const double subtitleWidth = QFontMetricsF(subtitleFont).horizontalAdvance(subtitle);
    painter.setFont(subtitleFont);
    painter.setPen(QColor(196, 186, 226));
    painter.drawText(QPointF(centreX - subtitleWidth / 2, 196), subtitle);
}

} // namespace

void paintSplashPicture(QPainter& painter, const QRectF& target) {
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.translate(target.topLeft());
    painter.scale(target.width() / kSplashPictureSize.width(),
                  target.height() / kSplashPictureSize.height());
    painter.setClipRect(QRectF(QPointF(0, 0), QSizeF(kSplashPictureSize)));

    paintBackground(painter);
    for (const Crystal& crystal : kBackCrystals)
        CrystalModel(crystal).paint(painter);
    paintRock(painter);
    for (const Crystal& crystal : kFrontCrystals) {
        paintFoot(painter, crystal);
        CrystalModel(crystal).paint(painter);
    }
    paintSparkle(painter, CrystalModel(kBackCrystals[2]).apexOnScreen(), 9);
    paintSparkle(painter, CrystalModel(kBackCrystals[1]).apexOnScreen(), 5);
    paintTitle(painter);
    painter.restore();
}

SplashPicture::SplashPicture(QWidget* parent) : QWidget(parent) {
    setFixedSize(kSplashPictureSize);
    setAttribute(Qt::WA_OpaquePaintEvent); // the picture covers every pixel
}

void SplashPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintSplashPicture(painter, rect());
}

void SplashPicture::mousePressEvent(QMouseEvent* event) {
    event->accept(); // kept from the window, where a press would start a drag
}

void SplashPicture::mouseReleaseEvent(QMouseEvent* event) {
    if (rect().contains(event->position().toPoint())) emit released();
}

} // namespace lithora::gui
