// Text between the machine's side and Qt's: messages and paths cross as
// UTF-8, and a message from below (the link's, the socket's, the session's)
// is set as a sentence of its own or inside another.
#pragma once

#include <QString>
#include <filesystem>
#include <string>

namespace pellux {

inline QString Text(const std::string& text) { return QString::fromStdString(text); }

inline std::filesystem::path PathOf(const QString& path) { return std::filesystem::path(path.toStdString()); }

// "cannot connect to ...: why" as a sentence: "Cannot connect to ...: why".
inline QString Sentence(const std::string& text) {
  QString sentence = Text(text);
  if (!sentence.isEmpty()) sentence[0] = sentence[0].toUpper();
  return sentence;
}

// "Sending main\hello" inside a sentence: "... sending main\hello ...".
inline QString LowerFirst(QString text) {
  if (!text.isEmpty()) text[0] = text[0].toLower();
  return text;
}

}  // namespace pellux
