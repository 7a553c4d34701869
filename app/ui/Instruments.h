// Round instruments drawn with a QPainter into a rectangle: the acceleration
// indicator, the speed dial and the compass. The dashboard draws them, and
// the map view's overlays can draw the same ones; they use QtGui only, so
// they paint onto a QImage as well as onto a widget.
//
// Each instrument is a circle as large as fits into the rectangle, centred
// in it; nothing is drawn outside the rectangle. Angles are radians
// clockwise from north (or, for the acceleration, from the direction of
// travel); values that are no finite number are drawn as 0.
#pragma once

class QPainter;
class QPointF;
class QRectF;

namespace rovana::instruments {

// The circle an instrument uses inside `area`: its centre and radius.
struct Dial {
  double centreX = 0, centreY = 0, radius = 0;
};
Dial DialIn(const QRectF& area);

// Acceleration in g as a pointer from the centre: up is the direction of
// travel, right is to the right of it. `direction` is the analyzer's: the
// heading minus the compass direction of the acceleration, so 0 points up
// (speeding up), pi down (braking) and -pi/2 right. The pointer reaches the
// rim at `fullScale` g (values beyond are drawn at the rim); rings mark
// quarters of the scale.
void DrawAcceleration(QPainter& painter, const QRectF& area, double acceleration, double direction,
                      double fullScale = 1.0);

// Where the tip of the acceleration pointer lies, for the painter and tests.
struct Point {
  double x = 0, y = 0;
};
Point AccelerationTip(const QRectF& area, double acceleration, double direction, double fullScale = 1.0);

// A speed dial over 270 degrees from 0 (lower left) to `scaleEnd` (lower
// right), ticks every tenth of the scale with numbers every fifth, and a
// needle at `speed` (in the unit of the scale; clamped to 0..scaleEnd).
void DrawSpeedDial(QPainter& painter, const QRectF& area, double speed, double scaleEnd = 100.0);

// The needle's angle in radians clockwise from straight up: -3/4 pi at 0,
// +3/4 pi at the scale end.
double SpeedNeedleAngle(double speed, double scaleEnd);

// A compass rose turned so that the direction of travel `heading` points up,
// with a fixed mark at the top and the north end of the rose drawn red.
void DrawCompass(QPainter& painter, const QRectF& area, double heading);

// The direction prompt as a symbol in a white disc of `radius` around
// `centre`: 1 turn around, 2 left, 3 straight on, 4 right, 5 arrived (a
// flag); anything else draws nothing.
void DrawDirectionPrompt(QPainter& painter, QPointF centre, double radius, int prompt);

}  // namespace rovana::instruments
