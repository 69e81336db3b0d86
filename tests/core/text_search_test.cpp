#include <gtest/gtest.h>

#include <quarlo/namespaces.hpp>
#include <random>
#include <string>
#include <vector>

#include "binding/banner.hpp"
#include "core/binding_cleanup.hpp"
#include "core/xml_escape.hpp"

namespace QuarloCliente::detail {
namespace {

// Random text made of the fragments a search or a clean-up could trip over: pieces, their halves,
// markup and line ends, so that occurrences overlap, abut and straddle sixteen-byte blocks.
std::string Scrambled(std::mt19937& engine, const std::vector<std::string>& fragments,
                      std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += fragments[engine() % fragments.size()];
  return text;
}

const std::string kBanner = std::string(kBindingBannerDocuments) + "\r\n";
const std::string kBooksBanner = std::string(kBindingBannerBooks) + "\r\n";
const std::string kSiiDeclaration = "xmlns=\"" + std::string(SiiDteNamespace) + "\" ";

// The clean-up as first written: each piece in turn, every occurrence that the text held before
// that piece's removal began, found left to right without overlaps.
std::string CleanedTheLongWay(std::string text, bool keepNamespace) {
  std::vector<std::string> pieces = {"ABCXYZ:", ":ABCXYZ"};
  if (!keepNamespace) pieces.push_back(kSiiDeclaration);
  pieces.push_back(kBanner);
  pieces.push_back(kBooksBanner);
  for (const std::string& piece : pieces) {
    std::string kept;
    std::size_t from = 0;
    for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, from)) {
      kept += text.substr(from, at - from);
      from = at + piece.size();
    }
    text = kept + text.substr(from);
  }
  return text;
}

TEST(CleanBindingText, RemovesWhatTheLongWayRemovesFromAnyText) {
  const std::vector<std::string> fragments = {
      "ABCXYZ:",       ":ABCXYZ", "ABCXYZ",     "ABC",
      "XYZ:",          ":",       "<ABCXYZ:a>", "x",
      kSiiDeclaration, kBanner,   kBooksBanner, std::string(kBindingBannerBooks),
      "\r\n",          "<a/>",    "xmlns=\"",   "  "};
  std::mt19937 engine(5);
  for (int trial = 0; trial < 2000; ++trial) {
    const std::string text = Scrambled(engine, fragments, engine() % 20);
    for (const bool keep : {false, true}) {
      std::string cleaned = text;
      CleanBindingText(cleaned, keep);
      ASSERT_EQ(cleaned, CleanedTheLongWay(text, keep)) << "'" << text << "' keep " << keep;
    }
  }
}

std::string EscapedTheLongWay(std::string_view text, EscapeFor target) {
  std::string out;
  for (const char c : text) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '\r') {
      out += "&#13;";
    } else if (target == EscapeFor::Attribute && c == '"') {
      out += "&quot;";
    } else if (target == EscapeFor::Attribute && c == '\t') {
      out += "&#9;";
    } else if (target == EscapeFor::Attribute && c == '\n') {
      out += "&#10;";
    } else {
      out += c;
    }
  }
  return out;
}

// Long runs are scanned sixteen bytes at a time: a character to escape at any place in a block,
// next to another or at the very end, must be caught.
TEST(XmlEscape, EscapesEveryMarkupCharacterWhereverItFalls) {
  const std::string markup = "&<>\r\"\t\n";
  std::mt19937 engine(3);
  for (std::size_t size = 0; size <= 70; ++size) {
    for (int trial = 0; trial < 20; ++trial) {
      std::string text(size, 'a');
      for (auto& c : text) {
        const auto pick = static_cast<unsigned>(engine() % 10);
        c = pick < 2 ? markup[engine() % markup.size()]
                     : (pick < 3 ? static_cast<char>(0xC3) : static_cast<char>('a' + pick));
      }
      for (const EscapeFor target : {EscapeFor::Text, EscapeFor::Attribute}) {
        const std::string expected = EscapedTheLongWay(text, target);
        std::string appended = "<";
        AppendEscapedXml(appended, text, target);
        ASSERT_EQ(appended, "<" + expected) << text;
        std::string written(MaxEscapedSize(text.size()), '\0');
        written.resize(static_cast<std::size_t>(WriteEscapedXml(written.data(), text, target) -
                                                written.data()));
        ASSERT_EQ(written, expected) << text;
      }
    }
  }
}

}  // namespace
}  // namespace QuarloCliente::detail
