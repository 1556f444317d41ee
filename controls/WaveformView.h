#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "controls/WaveformSource.h"

class QScrollBar;
class QTimer;
class QToolButton;

/// A file's waveform: min/max peaks per pixel column (one band per channel),
/// a time ruler, the selection shaded between two handles, further ranges
/// shaded (Segment Cut's list), the playback position as a line, zoom from
/// the whole file down to a sample every 16 pixels, and a scroll bar.
///
/// Mouse: a click places the cursor (the red line) on the sample under it,
/// Shift+click moves the nearer handle there, a drag selects, a drag on a
/// handle moves it; the wheel zooms around the pointer;
/// a drag on the ruler or with the middle button pans; a double click zooms
/// to the selection. Keys: Left/Right move the active handle by a pixel's
/// worth (with Shift by one sample), + and - zoom, 0 shows the whole file.
class TWaveformView : public QWidget {
 public:
  explicit TWaveformView(QWidget* parent = nullptr);
  ~TWaveformView() override;

  /// The view does not own the source; nullptr shows nothing.
  void SetSource(WaveformSource* source);
  WaveformSource* Source() const { return source_; }

  /// The selection [start, end) in frames.
  int64_t SelStart() const { return selStart_; }
  int64_t SelEnd() const { return selEnd_; }
  void SetSelection(int64_t start, int64_t end);
  /// Called when the user changes the selection (not by SetSelection).
  std::function<void(int64_t start, int64_t end)> OnSelectionChange;
  /// What shaded ranges are: to be removed (red) or to be kept (blue).
  enum class Shade { Removed, Kept };
  /// When set, selections are not drawn with handles and a drag only reports it.
  void SetRanges(std::vector<std::pair<int64_t, int64_t>> ranges, Shade shade = Shade::Removed);
  Shade RangeShade() const { return shade_; }
  /// The cursor in frames: where playback starts and the handles are marked.
  /// While zoomed in, `follow` turns the view to it when it leaves the view.
  void SetCursorFrame(int64_t frame, bool follow = false);
  int64_t CursorFrame() const { return cursor_; }
  /// Called when a click places the cursor (not by SetCursorFrame).
  std::function<void(int64_t frame)> OnCursorPlaced;

  /// The frames shown, [ViewFrom, ViewTo).
  int64_t ViewFrom() const { return viewFrom_; }
  int64_t ViewTo() const { return viewTo_; }
  void SetView(int64_t from, int64_t to);
  void ShowWhole();
  void ZoomToSelection();
  /// Zooms by `factor` (< 1 zooms in) keeping the frame under x where it is.
  void ZoomAround(int x, double factor);

  /// The frame under x (within the waveform) and the x of a frame.
  int64_t FrameAt(int x) const;
  double XOf(int64_t frame) const;
  /// The rectangle the bands fill.
  QRect WaveRect() const;
  static constexpr int kRulerHeight = 14;
  static constexpr int kBarHeight = 14;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  enum class Drag { None, Select, Start, End, Pan, Nearer };
  void PaintRuler(class QPainter& painter) const;
  void PaintWaves(class QPainter& painter);
  void PaintMarks(class QPainter& painter) const;
  void Poll();
  void SyncScrollBar();
  void ChangeSelection(int64_t start, int64_t end);
  int64_t Frames() const { return source_ ? source_->Frames() : 0; }
  int64_t FramesPerPixel() const;
  /// The fewest frames the view shows: zoomed in fully, a sample is many pixels wide.
  int64_t LeastVisible() const;
  /// Zoomed in to a sample a pixel or more: the samples as a line.
  void PaintSamples(class QPainter& painter, const QRect& area, int channels);

  WaveformSource* source_ = nullptr;
  uint64_t seenVersion_ = 0;
  int64_t viewFrom_ = 0, viewTo_ = 0;
  int64_t selStart_ = 0, selEnd_ = 0;
  int64_t cursor_ = 0;
  std::vector<std::pair<int64_t, int64_t>> ranges_;
  Shade shade_ = Shade::Removed;
  Drag drag_ = Drag::None;
  bool activeIsEnd_ = false;
  int64_t anchor_ = 0;
  int pressX_ = 0;
  int64_t panFrom_ = 0;
  bool moved_ = false;
  QScrollBar* bar_;
  QToolButton* whole_;
  QTimer* poll_;
  bool syncing_ = false;
};
