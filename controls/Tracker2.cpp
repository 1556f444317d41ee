#include "controls/Tracker2.h"

#include <QPalette>

#include "controls/TrackGeometry.h"

using namespace track;

namespace {

/// Stores value; false when it equals what is there, so nothing changes.
template <typename T>
bool Assign(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}

}  // namespace

TTrackBar2::TTrackBar2(QWidget* parent) : QWidget(parent) {
  TickColor_ = palette().color(QPalette::Button);
  ThumbColor_ = palette().color(QPalette::Button);
  setFocusPolicy(Qt::StrongFocus);
  resize(500, 50);
  UpdateThumbBitmap();
  UpdateTrackRect();
  UpdateTickBitmap();
  UpdateDitherBitmap();
}

// ---- properties ----

void TTrackBar2::SetPositionL(int value) {
  if (value == PositionL_) return;
  PositionL_ = value;
  if (SecondThumb_ && value >= PositionU_) PositionL_ = PositionU_ - 1;
  else if (value > Max_) PositionL_ = Max_;
  else if (value < Min_) PositionL_ = Min_;
  Change();
  update();
}

void TTrackBar2::SetPositionU(int value) {
  if (value == PositionU_) return;
  PositionU_ = value;
  if (value > Max_) PositionU_ = Max_;
  else if (value <= PositionL_) PositionU_ = PositionL_ + 1;
  Change();
  update();
}

void TTrackBar2::SetMax(int value) {
  if (value == Max_) return;
  Max_ = value;
  if (value < PositionU_) PositionU_ = value;
  UpdateTrackRect();
  update();
}

void TTrackBar2::SetMin(int value) {
  if (value == Min_) return;
  Min_ = value;
  if (PositionL_ < value) PositionL_ = value;
  UpdateTrackRect();
  update();
}

void TTrackBar2::SetLinePosition(int value) {
  if (value == LinePosition_) return;
  // Only the old and the new line columns change.
  if (LinePosition_ > 0) update(LineX(LinePosition_), 0, 1, 51);
  if (value > 0 && value <= Max_) update(LineX(value), 0, 1, 51);
  LinePosition_ = value;
}

void TTrackBar2::SetOrientation(TOrientation value) {
  if (value == Orientation_) return;
  Orientation_ = value;
  if ((value == toVertical && width() > height()) || (value == toHorizontal && height() > width())) {
    resize(height(), width());
    Orientation_ = value;
  }
  Rebuild(kThumb | kTrack);
}

void TTrackBar2::SetThumbSize(int value) {
  if (Assign(ThumbSize_, value)) Rebuild(kThumb | kTrack);
}

void TTrackBar2::SetThumbStyle(TThumbStyle value) {
  if (Assign(ThumbStyle_, value)) Rebuild(kThumb | kTrack);
}

void TTrackBar2::SetThumbColor(const QColor& value) {
  if (Assign(ThumbColor_, value)) Rebuild(kThumb);
}

void TTrackBar2::SetSecondThumb(bool value) {
  if (Assign(SecondThumb_, value)) Rebuild(kThumb);
}

void TTrackBar2::SetDitherThumb(bool value) {
  if (Assign(DitherThumb_, value) && !isEnabled()) update();
}

void TTrackBar2::SetTrackSize(int value) {
  if (Assign(TrackSize_, value)) Rebuild(kTrack);
}

void TTrackBar2::SetTrackStyle(TTrackStyle value) {
  if (Assign(TrackStyle_, value)) update();
}

void TTrackBar2::SetTrackColor(const QColor& value) {
  // The disabled track's checkerboard is made from the track colour.
  if (Assign(TrackColor_, value)) Rebuild(kDither);
}

void TTrackBar2::SetTrackCenterColor(const QColor& value) {
  if (Assign(TrackCenterColor_, value)) update();
}

void TTrackBar2::SetTickInterval(int value) {
  if (Assign(TickInterval_, value)) update();
}

void TTrackBar2::SetTickSize(int value) {
  if (Assign(TickSize_, value)) Rebuild(kTick);
}

void TTrackBar2::SetTickColor(const QColor& value) {
  if (Assign(TickColor_, value)) Rebuild(kTick);
}

void TTrackBar2::SetTickStyle(TTickStyle value) {
  if (!Assign(TickStyle_, value)) return;
  if (value == tiLine) TickColor_ = Qt::black;
  Rebuild(kTick);
}

void TTrackBar2::SetTickOrientation(TTickOrientation value) {
  if (Assign(TickOrientation_, value)) Rebuild(kThumb | kTrack);
}

void TTrackBar2::SetCtl3D(bool value) {
  if (value == Ctl3D_) return;
  Ctl3D_ = value;
  if (value) {
    TrackStyle_ = trLowered;
    if (ThumbStyle_ == tsRectangle || ThumbStyle_ == tsLoweredRectangle) ThumbStyle_ = tsRaisedRectangle;
  }
  Rebuild(kThumb | kTrack);
}

void TTrackBar2::Rebuild(int parts) {
  if (parts & kThumb) UpdateThumbBitmap();
  if (parts & kTrack) UpdateTrackRect();
  if (parts & kTick) UpdateTickBitmap();
  if (parts & kDither) UpdateDitherBitmap();
  update();
}

void TTrackBar2::Change() {
  if (OnChange) OnChange(this);
}

// ---- geometry ----

int TTrackBar2::ToPixels(int position) const {
  const int64_t range = static_cast<int64_t>(Max_) - Min_;
  if (range == 0) return 0;
  return static_cast<int>(static_cast<int64_t>(TrackLength_) * position / range);
}

int TTrackBar2::PositionAt(int x, int y) const {
  const int64_t range = static_cast<int64_t>(Max_) - Min_;
  if (range == 0 || TrackLength_ == 0) return 0;
  if (Orientation_ == toHorizontal) return static_cast<int>((static_cast<int64_t>(x) - ThumbOffset_) * range / TrackLength_);
  return static_cast<int>(Max_ - (static_cast<int64_t>(y) + ThumbOffset_) * range / TrackLength_);
}

int TTrackBar2::LineX(int position) const { return ToPixels(position) + 2 * ThumbOffset_; }

void TTrackBar2::UpdateTrackRect() {
  const bool horizontal = Orientation_ == toHorizontal;
  const int along = horizontal ? width() : height();
  const int across = horizontal ? height() : width();
  TrackLength_ = along - ThumbSize_;
  const int start = ToPixels(Min_) + ThumbOffset_;
  // An empty range keeps the whole track, with every position at its start.
  const bool empty = Max_ == Min_;
  const int end = (empty ? TrackLength_ : ToPixels(Max_)) + ThumbOffset_;
  CenterShift_ = (along - (end - start)) / 2 - ThumbOffset_;
  const int from = across / 2 - TrackSize_ / 2;
  const int to = across / 2 + TrackSize_ / 2;
  TrackRect_ = horizontal ? Edges(start + CenterShift_, from, end + CenterShift_, to)
                          : Edges(from, start + CenterShift_, to, end + CenterShift_);
}

