#pragma once

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>
#include <functional>

class QPainter;

enum TOrientation { toHorizontal, toVertical };
enum TTrackStyle { trUserDrawn, trFlat, trRaised, trLowered };
enum TThumbStyle {
  tsUserDrawn, tsRectangle, tsRaisedRectangle, tsLoweredRectangle,
  tsSmallPointer, tsMediumPointer, tsLargePointer
};
enum TTickStyle { tiUserDrawn, tiLine, tiSquare, tiRaisedSquare, tiLoweredSquare };
enum TTickOrientation { toTopLeft, toBottomRight, toBoth };

class TTrackBar2;

using TTrackNotifyEvent = std::function<void(TTrackBar2* Sender)>;
using TDrawTrackEvent = std::function<void(TTrackBar2* Sender, QPainter& Canvas)>;
using TDrawThumbEvent = std::function<void(TTrackBar2* Sender, QPainter& Canvas, int X, int Y)>;
using TDrawTickEvent = std::function<void(TTrackBar2* Sender, QPainter& Canvas, int X, int Y, int Position)>;
using TTrackMouseEvent =
    std::function<void(TTrackBar2* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)>;
using TTrackKeyEvent = std::function<void(TTrackBar2* Sender, int Key, Qt::KeyboardModifiers Shift)>;

/// A slider with one or two thumbs on one track. With SecondThumb it selects
/// the range PositionL..PositionU, painting the track between the thumbs in
/// TrackCenterColor; it can also show a marker line at LinePosition.
///
/// Positions map to pixels as TrackLength * p / (Max - Min), in integers; the
/// control is meant for Min = 0. Assigning a thumb a value different from its
/// current one fires OnChange, even when clamping keeps the old position.
class TTrackBar2 : public QWidget {
 public:
  explicit TTrackBar2(QWidget* parent = nullptr);

  int Max() const { return Max_; }
  void SetMax(int value);
  int Min() const { return Min_; }
  void SetMin(int value);
  TOrientation Orientation() const { return Orientation_; }
  void SetOrientation(TOrientation value);
  int TrackSize() const { return TrackSize_; }
  void SetTrackSize(int value);
  TTrackStyle TrackStyle() const { return TrackStyle_; }
  void SetTrackStyle(TTrackStyle value);
  QColor TrackColor() const { return TrackColor_; }
  void SetTrackColor(const QColor& value);
  QColor TrackCenterColor() const { return TrackCenterColor_; }
  void SetTrackCenterColor(const QColor& value);
  int TickSize() const { return TickSize_; }
  void SetTickSize(int value);
  TTickStyle TickStyle() const { return TickStyle_; }
  void SetTickStyle(TTickStyle value);
  QColor TickColor() const { return TickColor_; }
  void SetTickColor(const QColor& value);
  TTickOrientation TickOrientation() const { return TickOrientation_; }
  void SetTickOrientation(TTickOrientation value);
  int TickInterval() const { return TickInterval_; }
  void SetTickInterval(int value);
  int PositionL() const { return PositionL_; }
  void SetPositionL(int value);
  int PositionU() const { return PositionU_; }
  void SetPositionU(int value);
  /// The marker line; 0 or less shows none.
  int LinePosition() const { return LinePosition_; }
  void SetLinePosition(int value);
  int SmallChange() const { return SmallChange_; }
  void SetSmallChange(int value) { SmallChange_ = value; }
  int LargeChange() const { return LargeChange_; }
  void SetLargeChange(int value) { LargeChange_ = value; }
  int ThumbSize() const { return ThumbSize_; }
  void SetThumbSize(int value);
  TThumbStyle ThumbStyle() const { return ThumbStyle_; }
  void SetThumbStyle(TThumbStyle value);
  QColor ThumbColor() const { return ThumbColor_; }
  void SetThumbColor(const QColor& value);
  bool SecondThumb() const { return SecondThumb_; }
  void SetSecondThumb(bool value);
  bool DitherThumb() const { return DitherThumb_; }
  void SetDitherThumb(bool value);
  bool Ctl3D() const { return Ctl3D_; }
  /// Switching the 3-D look on restores the lowered track and raised thumbs.
  void SetCtl3D(bool value);
  bool TrackingU() const { return TrackingU_; }
  bool TrackingL() const { return TrackingL_; }

  // Geometry as last computed.
  int TrackLength() const { return TrackLength_; }
  int ThumbOffset() const { return ThumbOffset_; }
  int CenterShift() const { return CenterShift_; }
  QRect TrackRect() const { return TrackRect_; }
  QRect ThumbRectL() const { return ThumbRectL_; }
  QRect ThumbRectU() const { return ThumbRectU_; }

  TTrackNotifyEvent OnChange;
  TTrackNotifyEvent OnPaint;
  TDrawTrackEvent OnDrawTrack;
  TDrawThumbEvent OnDrawThumb;
  TDrawTickEvent OnDrawTick;
  /// Called before the control acts on a mouse press, so it sees the old positions.
  TTrackMouseEvent OnMouseDown;
  TTrackMouseEvent OnMouseMove;
  TTrackMouseEvent OnMouseUp;
  /// Called after the control acted on a key.
  TTrackKeyEvent OnKeyDown;

 protected:
  virtual void UpdateTrackRect();
  virtual void DrawTrack(QPainter& canvas);
  virtual void DoDrawTrack(QPainter& canvas);
  virtual void UpdateTickBitmap();
  virtual void DrawTicks(QPainter& canvas);
  virtual void DoDrawTick(QPainter& canvas, int x, int y, int position);
  virtual void UpdateThumbBitmap();
  virtual void DrawThumbs(QPainter& canvas);
  virtual void DoDrawThumb(QPainter& canvas, int x, int y);
  virtual void UpdateDitherBitmap();
  virtual void Change();
  virtual void DrawLinePosition(QPainter& canvas, int position);

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  enum Part { kThumb = 1, kTrack = 2, kTick = 4, kDither = 8 };
  /// Recomputes the named parts, then repaints.
  void Rebuild(int parts);
  /// L * p / D with D = Max - Min; 0 when the range is empty.
  int ToPixels(int position) const;
  /// The position under pixel x (horizontal) or y (vertical); 0 when the range or the track is empty.
  int PositionAt(int x, int y) const;
  int LineX(int position) const;
  QSize ThumbImageSize() const;
  QImage ComposeThumb() const;
  void SetThumbPosition(bool upper, int value);

  int Max_ = 20;
  int Min_ = 0;
  TOrientation Orientation_ = toVertical;
  int TrackSize_ = 10;
  TTrackStyle TrackStyle_ = trLowered;
  QColor TrackColor_{255, 255, 255};
  QColor TrackCenterColor_{0, 128, 0};
  int TickSize_ = 6;
  TTickStyle TickStyle_ = tiRaisedSquare;
  QColor TickColor_;
  TTickOrientation TickOrientation_ = toBoth;
  int TickInterval_ = 1;
  int PositionL_ = 0;
  int PositionU_ = 10;
  int LinePosition_ = 0;
  int SmallChange_ = 1;
  int LargeChange_ = 2;
  int ThumbSize_ = 20;
  TThumbStyle ThumbStyle_ = tsRaisedRectangle;
  QColor ThumbColor_;
  bool SecondThumb_ = false;
  bool DitherThumb_ = true;
  bool Ctl3D_ = true;
  bool TrackingU_ = false;
  bool TrackingL_ = false;

  int TrackLength_ = 0;
  int ThumbOffset_ = 0;
  int CenterShift_ = 0;
  QRect TrackRect_;
  QRect ThumbRectL_;
  QRect ThumbRectU_;
  QImage thumbImage_;  // transparent where a pointer thumb's mask is off
  QImage tickImage_;
  QBrush ditherBrush_;
};
