#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "identify/mixture.h"
#include "identify/profile.h"
#include "identify/ranking.h"

class QPainter;

namespace lithora::gui {

// The measured pattern against one candidate's card, on one axis: the measured peaks as sticks
// upward (or the measured profile with its peaks marked), the card's lines as sticks downward,
// each matched pair on a band of its own, missed lines dashed and hollow, unexplained peaks grey.
// With the phases of a mixture, their sum and each phase's share lie over the measured profile.
class PatternPlot : public QWidget {
    Q_OBJECT
  public:
    enum class Axis { TwoTheta, D };

    explicit PatternPlot(QWidget* parent = nullptr);

    // The peaks the candidates were ranked against; the wavelength (Å) places them in 2θ. A
    // profile, when the peaks were found in one, is drawn with its background taken off.
    void setMeasured(const MeasuredPattern& pattern, double wavelength,
                     const Profile* profile = nullptr, const std::vector<double>& background = {});
    void setCandidate(const Candidate* candidate); // null: the measured pattern alone
    // The candidate's calculated profile, net counts at the angles given (on the profile's
    // scale), drawn over the measured one with their difference below; cleared by a new
    // candidate or pattern.
    void setCalculated(const std::vector<double>& twoTheta, const std::vector<double>& net);
    bool hasCalculated() const { return !m_calculatedX.empty(); }
    // The mixture's phases over the measured profile: their sum drawn as the calculated profile
    // (with the difference below), each phase's net counts in its colour, named in a legend
    // inside the frame; the selected phase (-1 for none) drawn heavier, and the candidate's
    // lines below in its colour. Call after setCandidate; cleared as the calculated profile is.
    void setPhases(const Mixture& mixture, int selected);
    bool hasPhases() const { return !m_phaseY.empty(); }
    void clear();

    void setAxis(Axis axis);
    Axis axis() const { return m_axis; }
    bool hasMeasured() const { return !m_pattern.peaks.empty(); }
    bool hasProfile() const { return !m_profileX.empty(); }
    const std::optional<Candidate>& candidate() const { return m_candidate; }

    QSize sizeHint() const override { return {520, 300}; }
    QSize minimumSizeHint() const override { return {280, 180}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Range {
        double lo = 0.0, hi = 1.0;
    };
    // The axis value of a d-spacing: 2θ for the wavelength, or d itself; nullopt when the line
    // cannot diffract at that wavelength.
    std::optional<double> position(double d) const;
    Range range() const;
    void clearCurves(); // the calculated profile and the phases
    // The phases' names beside their colours, in the frame's top right corner.
    void drawPhaseLegend(QPainter& p, const QRect& corner) const;
    // How high a peak stands: its intensity, or with a profile the profile's top near it, since
    // a residual's intensities are no longer the profile's.
    double peakHeight(std::size_t peak) const;
    // The measured profile's relative height at an angle, between its points.
    double measuredAt(double twoTheta) const;

    MeasuredPattern m_pattern;
    double m_wavelength = kDefaultWavelength;
    std::vector<double> m_profileX; // 2θ
    std::vector<double> m_profileY; // relative: the highest point above the background is 100
    double m_profileScale = 0.0;    // 100 / the highest net count
    std::vector<double> m_calculatedX, m_calculatedY; // on the scale of m_profileY
    std::vector<std::vector<double>> m_phaseY;        // each phase at m_calculatedX, scaled
    std::vector<QString> m_phaseNames;
    int m_selectedPhase = -1;
    std::optional<Candidate> m_candidate;
    Axis m_axis = Axis::D;
};

} // namespace lithora::gui
