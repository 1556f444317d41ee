#include "cli/batch/Manifest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QLocale>
#include <map>

namespace {

bool IsBlankOrComment(const std::string& line) {
  const size_t first = line.find_first_not_of(" \t\r");
  return first == std::string::npos || line[first] == '#';
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> cells;
  size_t from = 0;
  for (;;) {
    const size_t tab = line.find('\t', from);
    cells.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
    if (tab == std::string::npos) return cells;
    from = tab + 1;
  }
}

/// The columns of a TSV header, by name.
struct Columns {
  int command = -1, source = -1, source2 = -1, target = -1, options = -1;
};

std::string ReadHeader(const std::string& line, Columns& columns) {
  const std::vector<std::string> names = SplitTabs(line);
  const std::map<std::string, int Columns::*> known = {{"command", &Columns::command},
                                                       {"source", &Columns::source},
                                                       {"source2", &Columns::source2},
                                                       {"target", &Columns::target},
                                                       {"options", &Columns::options}};
  for (size_t i = 0; i < names.size(); ++i) {
    const auto found = known.find(names[i]);
    if (found == known.end())
      return "the header names a column \"" + names[i] +
             "\": a TSV manifest starts with a line naming its columns, tab-separated, of command, source, source2, "
             "target and options";
    if (columns.*found->second >= 0) return "the header names the column \"" + names[i] + "\" twice";
    columns.*found->second = static_cast<int>(i);
  }
  if (columns.command < 0 || columns.source < 0 || columns.target < 0)
    return "the header names no command, source or target column (a TSV manifest starts with a line naming its "
           "columns, tab-separated: command, source, target, and source2 and options where used)";
  return {};
}

ManifestJob TsvJob(const std::string& line, const Columns& columns) {
  ManifestJob job;
  const std::vector<std::string> cells = SplitTabs(line);
  const auto cell = [&cells](int column) { return column >= 0 && static_cast<size_t>(column) < cells.size() ? cells[static_cast<size_t>(column)] : std::string(); };
  job.command = cell(columns.command);
  if (!cell(columns.source).empty()) job.sources.push_back(cell(columns.source));
  if (!cell(columns.source2).empty()) job.sources.push_back(cell(columns.source2));
  job.target = cell(columns.target);
  if (!SplitOptionWords(cell(columns.options), job.options)) job.error = "a quote in the options is not closed";
  return job;
}

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

/// An option of an object: "start": "1:00" or 90, "lossless": true (false and null: not given).
bool AddOption(const QString& key, const QJsonValue& value, std::vector<std::string>& options) {
  const std::string name = key.startsWith("--") ? Utf8(key) : "--" + Utf8(key);
  switch (value.type()) {
    case QJsonValue::Bool:
      if (value.toBool()) options.push_back(name);
      return true;
    case QJsonValue::Null: return true;
    case QJsonValue::String: options.push_back(name), options.push_back(Utf8(value.toString())); return true;
    case QJsonValue::Double: {
      options.push_back(name);
      options.push_back(Utf8(QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest)));
      return true;
    }
    case QJsonValue::Array:  // a repeated option: "range": ["1-2", "5-6"]
      for (const QJsonValue& each : value.toArray()) {
        if (!each.isString()) return false;
        options.push_back(name), options.push_back(Utf8(each.toString()));
      }
      return true;
    default: return false;
  }
}

ManifestJob JsonJob(const std::string& line) {
  ManifestJob job;
  QJsonParseError parsed{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromRawData(line.data(), static_cast<qsizetype>(line.size())), &parsed);
  if (parsed.error != QJsonParseError::NoError || !document.isObject()) {
    job.error = "not a JSON object" + (parsed.error != QJsonParseError::NoError ? ": " + Utf8(parsed.errorString()) : std::string());
    return job;
  }
  const QJsonObject object = document.object();
  for (auto it = object.begin(); it != object.end(); ++it) {
    const QString key = it.key();
    const QJsonValue value = it.value();
    if (key == "command" && value.isString()) job.command = Utf8(value.toString());
    else if (key == "target" && value.isString()) job.target = Utf8(value.toString());
    else if ((key == "source" || key == "source2") && value.isString()) job.sources.push_back(Utf8(value.toString()));
    else if (key == "source" && value.isArray()) {
      for (const QJsonValue& each : value.toArray()) {
        if (!each.isString()) return job.error = "\"source\" is a file name or an array of them", job;
        job.sources.push_back(Utf8(each.toString()));
      }
    } else if (key == "options" && value.isArray()) {
      for (const QJsonValue& each : value.toArray()) {
        if (!each.isString()) return job.error = "\"options\" is an array of strings or an object", job;
        job.options.push_back(Utf8(each.toString()));
      }
    } else if (key == "options" && value.isObject()) {
      const QJsonObject options = value.toObject();
      for (auto option = options.begin(); option != options.end(); ++option)
        if (!AddOption(option.key(), option.value(), job.options))
          return job.error = "the option \"" + Utf8(option.key()) + "\" is not a string, number, true or an array of strings", job;
    } else {
      return job.error = "\"" + Utf8(key) + "\" is not a key of a job (command, source, source2, target, options) or of the wrong type", job;
    }
  }
  return job;
}

}  // namespace

bool SplitOptionWords(const std::string& cell, std::vector<std::string>& words) {
  size_t i = 0;
  const size_t n = cell.size();
  while (i < n) {
    while (i < n && (cell[i] == ' ' || cell[i] == '\t')) ++i;
    if (i == n) break;
    std::string word;
    while (i < n && cell[i] != ' ' && cell[i] != '\t') {
      if (cell[i] != '"') {
        word += cell[i++];
        continue;
      }
      ++i;
      for (;;) {
        if (i == n) return false;
        if (cell[i] == '"') break;
        if (cell[i] == '\\' && i + 1 < n && (cell[i + 1] == '"' || cell[i + 1] == '\\')) ++i;
        word += cell[i++];
      }
      ++i;
    }
    words.push_back(std::move(word));
  }
  return true;
}

Manifest ReadManifest(std::istream& in) {
  Manifest manifest;
  enum class Kind { Unknown, Tsv, Json } kind = Kind::Unknown;
  Columns columns;
  std::string line;
  for (size_t number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // Spreadsheets save their TSV with a byte order mark.
    if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    if (IsBlankOrComment(line)) continue;
    if (kind == Kind::Unknown) {
      kind = line[line.find_first_not_of(" \t")] == '{' ? Kind::Json : Kind::Tsv;
      if (kind == Kind::Tsv) {
        manifest.error = ReadHeader(line, columns);
        if (!manifest.error.empty()) {
          manifest.error = "line " + std::to_string(number) + ": " + manifest.error;
          return manifest;
        }
        continue;
      }
    }
    ManifestJob job = kind == Kind::Json ? JsonJob(line) : TsvJob(line, columns);
    job.line = number;
    manifest.jobs.push_back(std::move(job));
  }
  return manifest;
}
