// Checks the licence agreement exactly as it ships (assets/agreement.txt).
//
// The installer shows this file unchanged in a read-only, multi-line edit
// control, so its bytes matter: Windows edit controls need CR LF line breaks,
// and the layout (line count, widths, blank lines between blocks) is what the
// user sees.  The file is read in binary mode so no line-ending translation
// can hide a fault.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#ifndef GLYPHARY_AGREEMENT_PATH
#error "GLYPHARY_AGREEMENT_PATH must be defined as the path of agreement.txt"
#endif

namespace {

constexpr std::size_t kTotalChars = 2522;
constexpr std::size_t kLineCount = 65;
constexpr std::size_t kLongestLine = 80;

const char kTitle[] = "LICENSE AGREEMENT";
const char kImportant[] = "***   IMPORTANT  ***";
const char kAcknowledgementStart[] = "BY INSTALLING THE PROGRAM,";
const char kLimitedLicense[] = "LIMITED LICENSE:  ";
const char kOtherRestrictions[] = "OTHER RESTRICTIONS:  ";

// Blocks after the "IMPORTANT" line, in order: opening paragraph,
// disclaimer, testing note, acknowledgement in capitals, what to do when not
// agreeing, limited license, ownership, other restrictions.
enum BlockIndex {
  kOpening = 0,
  kDisclaimer,
  kTested,
  kAcknowledgement,
  kNotAgreeing,
  kLicense,
  kOwnership,
  kRestrictions,
  kBlockCount
};
const std::size_t kBlockLines[kBlockCount] = {7, 3, 2, 12, 2, 9, 8, 10};
constexpr std::size_t kOpeningAndDisclaimerLines = 10;
constexpr std::size_t kBodyStart = 5;  // title, 2 empty, IMPORTANT, 1 empty

std::string ReadAgreement() {
  std::ifstream in(GLYPHARY_AGREEMENT_PATH, std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "cannot open " << GLYPHARY_AGREEMENT_PATH;
    return std::string();
  }
  return std::string(std::istreambuf_iterator<char>(in),
                     std::istreambuf_iterator<char>());
}

// Splits on CR LF only; a bare CR or LF stays inside its line, where the
// line-ending test reports it.  A final CR LF does not start another line.
std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool HasLowerCase(const std::string& s) {
  return std::any_of(s.begin(), s.end(), [](char c) {
    return std::islower(static_cast<unsigned char>(c)) != 0;
  });
}

struct Block {
  std::size_t first_line;  // 1-based line number in the file
  std::vector<std::string> lines;
};

// Groups the lines after the IMPORTANT line into blocks of non-empty lines.
// `separators` receives the number of empty lines found before each block
// after the first.
std::vector<Block> BodyBlocks(const std::vector<std::string>& lines,
                              std::vector<std::size_t>* separators) {
  std::vector<Block> blocks;
  std::size_t empties = 0;
  for (std::size_t i = kBodyStart; i < lines.size(); ++i) {
    if (lines[i].empty()) {
      ++empties;
      continue;
    }
    if (blocks.empty() || empties > 0) {
      if (!blocks.empty()) separators->push_back(empties);
      blocks.push_back(Block{i + 1, {}});
      empties = 0;
    }
    blocks.back().lines.push_back(lines[i]);
  }
  return blocks;
}

std::string Joined(const Block& block) {
  std::string out;
  for (const std::string& line : block.lines) out += line;
  return out;
}

TEST(AgreementText, BytesAndLineEndingsSuitAnEditControl) {
  const std::string text = ReadAgreement();
  ASSERT_FALSE(text.empty()) << "agreement file is empty or missing";

  EXPECT_EQ(text.size(), kTotalChars) << "total size in bytes";

  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r') {
      EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n')
          << "bare CR at byte " << i;
    } else if (c == '\n') {
      EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at byte " << i;
    } else {
      EXPECT_TRUE(c >= 0x20 && c < 0x7f)
          << "byte " << i << " (value " << static_cast<int>(c)
          << ") is not printable ASCII; tabs are not allowed either";
    }
  }

  EXPECT_TRUE(EndsWith(text, "\r\n")) << "the last line must end with CR LF";
  EXPECT_EQ(SplitCrLf(text).size(), kLineCount) << "number of lines";
}

TEST(AgreementText, LineWidthsAndSpacing) {
  const std::vector<std::string> lines = SplitCrLf(ReadAgreement());
  ASSERT_EQ(lines.size(), kLineCount);

  std::size_t longest = 0;
  std::size_t non_empty = 0;
  std::size_t ending_in_space = 0;
  std::size_t sentence_gaps = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::size_t number = i + 1;
    longest = std::max(longest, line.size());
    EXPECT_LE(line.size(), kLongestLine) << "line " << number << " too long";
    if (line.empty()) continue;
    ++non_empty;
    if (EndsWith(line, " ")) ++ending_in_space;
    EXPECT_FALSE(EndsWith(line, "  "))
        << "line " << number << " ends with more than one space";
    EXPECT_NE(line.front(), ' ') << "line " << number << " starts with a space";

    // Inside a line, a full stop followed by a space ends a sentence and
    // must be followed by exactly two spaces and then the next word.  The
    // text uses no abbreviations, so a single space always means a slip.
    const std::string body = line.substr(0, line.find_last_not_of(' ') + 1);
    for (std::size_t p = 0; p + 1 < body.size(); ++p) {
      if (body[p] != '.' || body[p + 1] != ' ') continue;
      const bool two_spaces = p + 3 < body.size() && body[p + 2] == ' ' &&
                              body[p + 3] != ' ';
      EXPECT_TRUE(two_spaces)
          << "line " << number << ", column " << p + 1
          << ": sentences must be separated by exactly two spaces: \"" << line
          << "\"";
      if (two_spaces) ++sentence_gaps;
    }
  }

  EXPECT_EQ(longest, kLongestLine) << "longest line";
  EXPECT_GT(2 * ending_in_space, non_empty)
      << ending_in_space << " of " << non_empty
      << " non-empty lines end with a space; most of them should";
  EXPECT_GT(sentence_gaps, 0u)
      << "no two-space sentence break found inside any line";
}

TEST(AgreementText, BlocksComeInOrderWithTheirLineCounts) {
  const std::vector<std::string> lines = SplitCrLf(ReadAgreement());
  ASSERT_EQ(lines.size(), kLineCount);

  EXPECT_EQ(lines[0], kTitle) << "title line";
  EXPECT_TRUE(lines[1].empty() && lines[2].empty())
      << "the title is followed by exactly two empty lines";
  EXPECT_EQ(lines[3], kImportant) << "IMPORTANT line";
  EXPECT_TRUE(lines[4].empty()) << "one empty line after IMPORTANT";
  EXPECT_FALSE(lines[kBodyStart].empty())
      << "only one empty line after IMPORTANT";
  EXPECT_FALSE(lines.back().empty()) << "the text ends on a text line";

  std::vector<std::size_t> separators;
  const std::vector<Block> blocks = BodyBlocks(lines, &separators);
  ASSERT_EQ(blocks.size(), static_cast<std::size_t>(kBlockCount))
      << "number of blocks after the IMPORTANT line";
  for (std::size_t i = 0; i < separators.size(); ++i) {
    EXPECT_EQ(separators[i], 1u)
        << "empty lines before the block at line " << blocks[i + 1].first_line;
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i].lines.size(), kBlockLines[i])
        << "lines in block " << i + 1 << " (starting at line "
        << blocks[i].first_line << ")";
  }
  EXPECT_EQ(blocks[kOpening].lines.size() + blocks[kDisclaimer].lines.size(),
            kOpeningAndDisclaimerLines)
      << "opening paragraph and disclaimer together";

  const std::string opening = Joined(blocks[kOpening]);
  EXPECT_NE(opening.find("end user"), std::string::npos)
      << "the opening paragraph names the end user";
  EXPECT_NE(opening.find("Quillfern Software"), std::string::npos)
      << "the opening paragraph names the maker";
}

TEST(AgreementText, AcknowledgementAndSectionHeadings) {
  const std::vector<std::string> lines = SplitCrLf(ReadAgreement());
  std::vector<std::size_t> separators;
  const std::vector<Block> blocks = BodyBlocks(lines, &separators);
  ASSERT_EQ(blocks.size(), static_cast<std::size_t>(kBlockCount));

  const Block& ack = blocks[kAcknowledgement];
  EXPECT_TRUE(StartsWith(ack.lines.front(), kAcknowledgementStart))
      << "acknowledgement starts: \"" << ack.lines.front() << "\"";
  for (std::size_t i = 0; i < ack.lines.size(); ++i) {
    EXPECT_FALSE(HasLowerCase(ack.lines[i]))
        << "acknowledgement line " << ack.first_line + i
        << " is not all capitals: \"" << ack.lines[i] << "\"";
  }
  // The capitals are reserved for that paragraph and the headings: the
  // ordinary paragraphs around it are in mixed case.
  EXPECT_TRUE(HasLowerCase(Joined(blocks[kOpening])));
  EXPECT_TRUE(HasLowerCase(Joined(blocks[kNotAgreeing])));

  // Each section heading runs on: heading, colon, two spaces, then text on
  // the same line.
  struct Heading {
    BlockIndex block;
    const char* prefix;
  };
  for (const Heading& h : {Heading{kLicense, kLimitedLicense},
                           Heading{kRestrictions, kOtherRestrictions}}) {
    const std::string& first = blocks[h.block].lines.front();
    EXPECT_TRUE(StartsWith(first, h.prefix))
        << "section at line " << blocks[h.block].first_line
        << " should start \"" << h.prefix << "\": \"" << first << "\"";
    const std::size_t after = std::string(h.prefix).size();
    EXPECT_TRUE(after < first.size() && first[after] != ' ')
        << "text runs on after the heading at line "
        << blocks[h.block].first_line;
  }

  const std::string& owner = blocks[kOwnership].lines.front();
  const std::size_t colon = owner.find(":  ");
  ASSERT_NE(colon, std::string::npos)
      << "ownership section needs a heading followed by \":  \": \"" << owner
      << "\"";
  const std::string heading = owner.substr(0, colon);
  EXPECT_FALSE(heading.empty());
  EXPECT_TRUE(std::all_of(heading.begin(), heading.end(), [](char c) {
    return c == ' ' || std::isupper(static_cast<unsigned char>(c)) != 0;
  })) << "ownership heading must be in capitals: \"" << heading << "\"";
  EXPECT_TRUE(colon + 3 < owner.size() && owner[colon + 3] != ' ')
      << "text runs on after the ownership heading";
}

}  // namespace
