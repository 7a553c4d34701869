// XmlWriter tests: a writer whose document is a function, so each test
// states its own, and a reader that collects what such documents hold.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/core/XmlReader.h"
#include "app/core/XmlWriter.h"

namespace rovana::testing_xml {

// A writer whose document is a function, so each test states its own.
class Writer : public XmlWriter {
 public:
  Writer(std::filesystem::path folder, std::string name, std::function<void(Writer&)> body, std::optional<mode_t> mode = std::nullopt)
      : XmlWriter(std::move(folder), std::move(name), mode), body_(std::move(body)) {}
  using XmlWriter::BoolElement;
  using XmlWriter::EmptyElement;
  using XmlWriter::Format;
  using XmlWriter::IntElement;
  using XmlWriter::ListElement;
  using XmlWriter::PositionElement;
  using XmlWriter::Raw;
  using XmlWriter::RealElement;
  using XmlWriter::TextElement;

 protected:
  void Write() override { body_(*this); }

 private:
  std::function<void(Writer&)> body_;
};

// Collects the decoded text after each start tag "t" and the attribute "v"
// of each tag "e".
class TextCollector : public XmlReader {
 public:
  TextCollector(std::filesystem::path folder, std::string name) : XmlReader(std::move(folder), std::move(name)) {}
  std::vector<std::string> texts, values;

 protected:
  void Parse() override {
    while (NextToken()) {
      if (IsTag(XmlToken::StartTag, "t")) texts.push_back(ReadText(true));
      if (IsTag(XmlToken::StartTag, "e")) values.push_back(Attribute("v").value_or("<none>"));
    }
  }
};

}  // namespace rovana::testing_xml
