// The markup layout on a canvas of fixed metrics (6 pixels a character, 8 in bold, lines 10 high):
// tags, colours, slashes, white space, line breaks, wrapping and the calculated rectangle.
#include "controls/markup_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf16.h"
#include "controls/control_texts.h"
#include "tests/unit/controls/fake_canvas.h"

namespace qv {
namespace {

// The words drawn, as "word@x,y" with the style letters b i u _ (sub) ^ (sup) after a colon.
std::wstring Words(const CFakeCanvas& canvas) {
  std::wstring text;
  for (const DRAWN_WORD& drawn : canvas.drawn) {
    if (!text.empty()) text += L' ';
    text += drawn.word + L'@' + std::to_wstring(drawn.box.left) + L',' +
            std::to_wstring(drawn.box.top);
    std::wstring styles;
    const wchar_t letters[] = L"biu_^";
    for (int bit = 0; bit < 5; ++bit) {
      if ((drawn.font & (1u << bit)) != 0) styles += letters[bit];
    }
    if (!styles.empty()) text += L':' + styles;
  }
  return text;
}

std::wstring Draw(std::wstring_view markup, int width = 1000, unsigned format = 0) {
  CFakeCanvas canvas;
  MARKUP_RECT rect{0, 0, width, 100};
  (void)DrawMarkupText(canvas, markup, -1, &rect, format);
  return Words(canvas);
}

TEST(MarkupText, TagsMatchByPrefixAndUnknownOnesStayText) {
  struct CASE {
    const wchar_t* markup;
    const wchar_t* words;
  } cases[] = {
      {L"<big>x</big> y", L"x@0,0:b y@14,0"},  // "big" begins with b: bold
      {L"<B>x</b><STRONG>y</strong>", L"x@0,0:b y@8,0:b"},
      {L"<xyz>a</xyz> b", L"<xyz>@0,0 a@30,0 b@42,0"},  // the closing tag vanishes
      {L"<b class=x>y", L"<b@0,0 class=x>y@18,0"},     // b takes no attributes
      {L"<em>a</em><i><u>b</u></i>", L"a@0,0:i b@6,0:iu"},
      {L"H<sub>2</sub>O<sup>n</sup>", L"H@0,0 2@6,0:_ O@9,0 n@15,0:^"},
      {L"a < b", L"a@0,0 <@12,0 b@24,0"},
      // One space for the white space around a tag, measured in the next word's font.
      {L"a <b> b</b>", L"a@0,0 b@14,0:b"},
      {L"a</b> b", L"a@0,0 b@12,0"},
  };
  for (const CASE& c : cases) EXPECT_EQ(Draw(c.markup), c.words) << c.markup;
}

// Text put through EscapeMarkup is drawn as the very characters it holds, tags and references
// included; in markup, only the three references stand for their characters.
TEST(MarkupText, EscapedTextShowsAsItIs) {
  struct CASE {
    const wchar_t* text;
    bool escaped;
    const wchar_t* words;
  } cases[] = {
      {L"<b>x</b>", true, L"<b>x</b>@0,0"},
      {L"</font><br>Key: fake", true, L"</font><br>Key:@0,0 fake@96,0"},
      {L"a&lt;b &amp; R&D", true, L"a&lt;b@0,0 &amp;@42,0 R&D@78,0"},
      {L"x&lt;y&gt;&amp;z &copy; &", false, L"x<y>&z@0,0 &copy;@42,0 &@84,0"},
  };
  for (const CASE& c : cases) {
    EXPECT_EQ(Draw(c.escaped ? EscapeMarkup(c.text) : std::wstring(c.text)), c.words) << c.text;
  }
  EXPECT_EQ(EscapeMarkup(L"<a & b>"), L"&lt;a &amp; b&gt;");
}

TEST(MarkupText, SubscriptSitsAtTheBottomOfItsLineAndFormatsAreCleaned) {
  CFakeCanvas canvas;
  MARKUP_RECT rect{0, 0, 100, 50};
  (void)DrawMarkupText(canvas, L"a&b<sub>c</sub>", -1, &rect,
                       kDtCenter | kDtRight | kDtTabStop | kDtWordBreak);
  ASSERT_EQ(canvas.drawn.size(), 2u);
  EXPECT_EQ(canvas.drawn[0].format, kDtNoPrefix);
  EXPECT_EQ(canvas.drawn[1].format, kDtNoPrefix | kDtSingleLine | kDtBottom);
  EXPECT_EQ(canvas.drawn[1].box, (MARKUP_RECT{18, 0, 21, 10}));  // the line box, not the word's
}

TEST(MarkupText, FontColours) {
  const MARKUP_COLOR start = MarkupRgb(1, 2, 3);
  auto colors = [](std::wstring_view markup) {
    CFakeCanvas canvas;
    (void)DrawMarkupText(canvas, markup, -1, nullptr, 0);
    std::vector<MARKUP_COLOR> seen;
    for (const DRAWN_WORD& drawn : canvas.drawn) seen.push_back(drawn.color);
    return seen;
  };
  using V = std::vector<MARKUP_COLOR>;
  EXPECT_EQ(colors(L"<font color=#ff0000>r</font>k"), (V{MarkupRgb(255, 0, 0), start}));
  EXPECT_EQ(colors(L"<FONT COLOR=\"00ff80\">g"), (V{MarkupRgb(0, 255, 128)}));
  EXPECT_EQ(colors(L"<font color='#1x2y3z'>g"), (V{MarkupRgb(0x10, 0x20, 0x30)}));
  EXPECT_EQ(colors(L"<font color=#ab>g"), (V{MarkupRgb(0xab, 0, 0)}));  // missing digits: 0
  // A size first, or two spaces: no colour, but the tag still saves one for its closing tag.
  EXPECT_EQ(colors(L"<font size=2 color=#ff0000>s</font>t"), (V{start, start}));
  EXPECT_EQ(colors(L"<font  color=#ff0000>s"), (V{start}));
  // More closing tags than opening ones: the first colour comes back.
  EXPECT_EQ(colors(L"<font color=#000010>a<font color=#000020>b</font></font></font>c"),
            (V{MarkupRgb(0, 0, 0x10), MarkupRgb(0, 0, 0x20), start}));
  // The link of a problem row: blue and underlined.
  CFakeCanvas canvas;
  (void)DrawMarkupText(canvas, kIgnoreLinkText.english, -1, nullptr, 0);
  ASSERT_EQ(canvas.drawn.size(), 1u);
  EXPECT_EQ(canvas.drawn[0].word, L"Ignore");
  EXPECT_EQ(canvas.drawn[0].color, MarkupRgb(0, 0, 255));
  EXPECT_EQ(canvas.drawn[0].font, kMarkupUnderline);

  // Nine nested colours: the ninth still shows; closing it brings back the eighth one saved
  // (the colour of the seventh tag), and so on down to the first colour.
  std::wstring nested;
  for (int level = 1; level <= 9; ++level) {
    nested += L"<font color=#00000" + std::to_wstring(level) + L">";
  }
  nested += L"x";
  for (int level = 9; level >= 0; --level) nested += L"</font>x";
  V expected{MarkupRgb(0, 0, 9)};
  for (int level = 7; level >= 1; --level) expected.push_back(MarkupRgb(0, 0, level));
  expected.insert(expected.end(), 3, start);
  EXPECT_EQ(colors(nested), expected);
}

TEST(MarkupText, SlashesWhiteSpaceAndLineBreaks) {
  EXPECT_EQ(MarkupSlashes(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\\\Vendor"),
            L"HKEY_LOCAL_MACHINE/SOFTWARE/Vendor");
  EXPECT_EQ(MarkupSlashes(L"a///b\\/c"), L"a//b/c");
  EXPECT_EQ(Draw(L"Key: HKLM\\Run"), L"Key:@0,0 HKLM/Run@30,0");
  // <p> at the start does nothing, then 15 down; <br> 10 down; white space after either is gone.
  EXPECT_EQ(Draw(L"<p>a <p> b<br>  c <br>\n<b> d</b>"), L"a@0,0 b@0,15 c@0,25 d@0,35:b");
  EXPECT_EQ(Draw(L"a <br>b<p> c", 1000, kDtSingleLine), L"a@0,0 b@12,0 c@18,0");
  // A length cuts the text; text without a rectangle starts at the current position.
  CFakeCanvas canvas;
  canvas.position = {10, 20};
  canvas.deviceWidth = 40;
  EXPECT_EQ(DrawMarkupText(canvas, L"abc def", 5, nullptr, kDtWordBreak), 0);
  EXPECT_EQ(Words(canvas), L"abc@10,20 d@34,20");
}

TEST(MarkupText, PlainTextIsWhatTheLayoutShowsWithoutItsTags) {
  struct CASE {
    const wchar_t* markup;
    const wchar_t* plain;
  } cases[] = {
      {L"<font color=#ff0000><b>The file referenced doesn't exist.</b></font><br><b>Key: </b>"
       L"HKLM\\Run<br>a=C:\\x.exe",
       L"The file referenced doesn't exist. Key: HKLM/Run a=C:/x.exe"},
      // Nested fonts (a ninth too), tags matched by prefix, one space for any white space.
      {L"<font color=#1><font color=\"#2\"><FONT color=3>x</font></font></font>  y\t\r\nz",
       L"x y z"},
      {L"<big>a</big><STRONG>b</strong><sub>c</sub><sup>d</sup><em>e</em><i>f</i><u>g</u>",
       L"abcdefg"},
      {L"<p>first<p>second</p>third<br/>", L"first secondthird"},  // "br/" begins with br
      // An opening tag nobody knows is drawn as text; its closing tag vanishes; a lone "<" stays.
      {L"<xyz>a</xyz> < b", L"<xyz>a < b"},
      {L"a&amp;b &lt;b&gt; &quot;&apos;&#65;&#x42;&nbsp;", L"a&b <b> \"'AB\u00A0"},
      // What is no entity of the list stays as written.
      {L"&copy; &#0; &#xD800; &#x110000; &amp &#x; &#12a;", L"&copy; &#0; &#xD800; &#x110000; &amp &#x; &#12a;"},
      {L"  <br> ", L""},
  };
  for (const CASE& c : cases) EXPECT_EQ(MarkupPlainText(c.markup), c.plain) << c.markup;
  // Beyond the 16-bit plane: one character however wide wchar_t is.
  EXPECT_EQ(ToUtf16(MarkupPlainText(L"&#x1F600;")), (std::u16string{0xD83D, 0xDE00}));
}

TEST(MarkupText, WrappingWideningAndTheCalculatedRectangle) {
  struct CASE {
    const wchar_t* markup;
    int width;
    unsigned format;
    int lastLine;
    MARKUP_RECT rect;  // from {5, 7, 5 + width, 0}
  } cases[] = {
      {L"aaa bbb ccc", 66, kDtWordBreak, 0, {5, 7, 71, 17}},  // 66 fits exactly
      {L"aaa bbb ccc", 40, kDtWordBreak, 20, {5, 7, 23, 37}},
      {L"aaa bbb ccc", 40, 0, 0, {5, 7, 71, 17}},  // no word break: the width grows
      // A word wider than the width widens it, and later lines wrap at the new width.
      {L"aaaaaaaaaa bb cc", 40, kDtWordBreak, 10, {5, 7, 65, 27}},
      // A leading space does not push the first word down a line.
      {L" aaaaaaaaaa", 40, kDtWordBreak, 0, {5, 7, 71, 17}},
      // No space before it: the word stays on its line and the width grows.
      {L"aaaaaa<b>bb</b>", 40, kDtWordBreak, 0, {5, 7, 57, 17}},
      {L"a<br>bbbb", 40, 0, 10, {5, 7, 29, 27}},
  };
  for (const CASE& c : cases) {
    CFakeCanvas canvas;
    MARKUP_RECT rect{5, 7, 5 + c.width, 0};
    EXPECT_EQ(DrawMarkupText(canvas, c.markup, -1, &rect, c.format | kDtCalcRect), c.lastLine)
        << c.markup;
    EXPECT_EQ(rect, c.rect) << c.markup;
    EXPECT_TRUE(canvas.drawn.empty()) << c.markup;
  }
  // Wrapped words are drawn where the calculation put them.
  EXPECT_EQ(Draw(L"aaa bbb ccc", 40, kDtWordBreak), L"aaa@0,0 bbb@0,10 ccc@0,20");
  // Above the origin the bottom is counted upwards; a drawing call leaves the rectangle alone.
  CFakeCanvas canvas;
  MARKUP_RECT above{0, -5, 40, 0};
  EXPECT_EQ(DrawMarkupText(canvas, L"aaa bbb", -1, &above, kDtCalcRect | kDtWordBreak), 10);
  EXPECT_EQ(above, (MARKUP_RECT{0, -5, 18, -25}));
  MARKUP_RECT drawn{0, 0, 40, 3};
  (void)DrawMarkupText(canvas, L"aaa bbb", -1, &drawn, kDtWordBreak);
  EXPECT_EQ(drawn, (MARKUP_RECT{0, 0, 40, 3}));
}

}  // namespace
}  // namespace qv
