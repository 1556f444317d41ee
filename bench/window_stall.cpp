// How long the main window's thread is held while waveforms are worked out:
// opens each file given (one after the other, the next while the previous
// one's peaks are still being read), keeps the view repainting, and prints
// the time each open took and the longest gap between the ticks of a 5 ms
// timer from the first open to the end of the last file's peaks.
//   QT_QPA_PLATFORM=offscreen build/bench/window_stall FILE...
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

#include "app/Main.h"
#include "controls/WaveformView.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  TfrmMain window;
  window.show();
  auto* view = window.findChild<TWaveformView*>("wvAudio");
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0, longest = 0, longestPaint = 0;
  QTimer ticks;
  QObject::connect(&ticks, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    longest = std::max(longest, now - last);
    if (now - last > 30) std::printf("  a gap of %lld ms at %lld ms\n", static_cast<long long>(now - last), static_cast<long long>(now));
    last = now;
    QElapsedTimer paint;
    paint.start();
    view->repaint();
    longestPaint = std::max(longestPaint, paint.elapsed());
  });
  ticks.start(5);
  for (int i = 1; i < argc; ++i) {
    QElapsedTimer open;
    open.start();
    window.OpenFile(QString::fromLocal8Bit(argv[i]));
    std::printf("open %s: %lld ms (at %lld ms)\n", argv[i], static_cast<long long>(open.elapsed()), static_cast<long long>(clock.elapsed()));
    last = clock.elapsed();
    // Let the previous file's work run a little before the next open cancels it.
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < (i + 1 < argc ? 300 : 8000)) app.processEvents(QEventLoop::AllEvents, 5);
  }
  std::printf("longest gap between 5 ms ticks while peaks were read: %lld ms (longest paint %lld ms)\n",
              static_cast<long long>(longest), static_cast<long long>(longestPaint));
  return 0;
}
