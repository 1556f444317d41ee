#include "cli/RunOutput.h"

#include <QEventLoop>
#include <cstdio>

#include "audio/ACS_Classes.h"

namespace {

void DrawProgress(int percent) {
  constexpr int kWidth = 40;
  if (percent < 0) {
    std::fprintf(stderr, "\r[working...]");
  } else {
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################", kWidth - filled, "",
                 percent);
  }
  std::fflush(stderr);
}

}  // namespace

std::string RunToEnd(TAuOutput& output, bool showProgress) {
  QEventLoop loop;
  std::string failure;
  output.OnDone = [&loop](TComponent*) { loop.quit(); };
  output.OnThreadException = [&output, &failure](TComponent*) { failure = output.ExceptionMessage(); };
  if (showProgress) output.OnProgress = [&output](TComponent*) { DrawProgress(output.Progress()); };
  try {
    output.Run();
  } catch (const std::exception& e) {
    return e.what();  // refused before it started: no OnDone will come
  }
  loop.exec();
  if (showProgress) {
    if (failure.empty()) DrawProgress(100);
    std::fprintf(stderr, "\n");
  }
  output.OnProgress = nullptr;
  return failure;
}
