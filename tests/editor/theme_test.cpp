// The code editor's light and dark looks: contrast, hues, the choice by the window colour, and the
// live switch when the application's palette changes.
#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPalette>

#include <algorithm>
#include <cstdlib>
#include <set>

#include <Qsci/qsciscintillabase.h>

#include "editor/names/names.h"
#include "editor/search/find.h"
#include "editor/scintilla.h"
#include "editor/theme.h"
#include "editor_support.h"

namespace {

struct Colour {
    const char* name;
    int EditorTheme::*field;
};

// The text colours of the JavaScript styles; each is drawn on the page and on the caret's line.
// clang-format off
constexpr Colour token_colours[] = {
    {"plain text", &EditorTheme::foreground}, {"keyword", &EditorTheme::keyword}, {"comment", &EditorTheme::comment},
    {"string", &EditorTheme::string}, {"number", &EditorTheme::number}, {"call", &EditorTheme::call},
    {"teal", &EditorTheme::spare_teal}, {"green", &EditorTheme::spare_green}, {"olive", &EditorTheme::spare_olive},
    {"grey", &EditorTheme::spare_grey}, {"red", &EditorTheme::spare_red},
};
// clang-format on

// Text (or a sign) that brings its own background.
constexpr std::pair<Colour, int EditorTheme::*> framed_colours[] = {
    {{"line numbers", &EditorTheme::line_number_fore}, &EditorTheme::line_number_back},
    {{"selection", &EditorTheme::selection_fore}, &EditorTheme::selection_back},
    {{"brace", &EditorTheme::brace_match_fore}, &EditorTheme::brace_match_back},
    {{"bad brace", &EditorTheme::brace_bad_fore}, &EditorTheme::brace_bad_back},
    {{"error marker", &EditorTheme::error_marker_fore}, &EditorTheme::error_marker_back},
};

// Every text colour of a table with a contrast under 4.5:1 against its background.
std::set<std::string> below_aa(const EditorTheme& theme) {
    std::set<std::string> names;
    for (const Colour& text : token_colours) {
        if (theme_contrast(theme.*text.field, theme.background) < 4.5) names.insert(text.name);
        if (theme_contrast(theme.*text.field, theme.current_line) < 4.5)
            names.insert(text.name + std::string(" on line"));
    }
    for (const auto& [text, back] : framed_colours)
        if (theme_contrast(theme.*text.field, theme.*back) < 4.5) names.insert(text.name);
    return names;
}

TEST(EditorTheme, ContrastOfBothTablesAndHuesOfTheDarkOne) {
    EXPECT_DOUBLE_EQ(theme_contrast(0x000000, 0xFFFFFF), 21.0);
    EXPECT_NEAR(theme_contrast(0xA0A0A0, 0xFFFFFF), 2.61, 0.01);
    EXPECT_EQ(below_aa(theme_table(THEME_DARK)), std::set<std::string>{});
    // The light table keeps the long-standing colours; these fall short ("on line": on the caret's line).
    const std::set<std::string> light_short = {"comment",         "call",          "teal",         "red",
                                               "comment on line", "call on line",  "teal on line", "red on line",
                                               "number on line",  "string on line"};
    EXPECT_EQ(below_aa(theme_table(THEME_LIGHT)), light_short);
    // The dark table keeps the light one's hues (HSL; -1 for a grey).
    const auto hue = [](int c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF).hslHue(); };
    std::vector<Colour> coloured(std::begin(token_colours), std::end(token_colours));
    coloured.push_back({"caret's line", &EditorTheme::current_line});
    coloured.push_back({"selection", &EditorTheme::selection_back});
    for (const Colour& c : coloured) {
        const int light = hue(theme_table(THEME_LIGHT).*c.field), dark = hue(theme_table(THEME_DARK).*c.field);
        EXPECT_EQ(light < 0, dark < 0) << c.name << ": grey stays grey, colour stays colour";
        EXPECT_LE(std::min(std::abs(light - dark), 360 - std::abs(light - dark)), 3) << c.name;
    }
}

TEST(EditorTheme, TheWindowColoursLightnessChoosesTheTable) {
    const int cases[][4] = {{255, 255, 255, THEME_LIGHT}, {239, 239, 239, THEME_LIGHT}, {128, 128, 128, THEME_LIGHT},
                            {127, 127, 127, THEME_DARK},  {49, 54, 59, THEME_DARK},     {0, 0, 0, THEME_DARK},
                            {255, 0, 0, THEME_LIGHT},     {0, 0, 200, THEME_DARK}};
    for (const auto& [r, g, b, kind] : cases)
        EXPECT_EQ(theme_kind_for_window(int(rgb(r, g, b))), kind) << r << "," << g << "," << b;
}

class EditorThemeSwitch : public EditorTest {
protected:
    void TearDown() override {
        QApplication::setPalette(light_palette_);
        EditorTest::TearDown();
    }

    // Every colour and font flag the tables set, as the component reports them.
    std::vector<std::intptr_t> look() const {
        std::vector<std::intptr_t> values;
        for (int style = 0; style <= STYLE_BRACEBAD; ++style)
            for (unsigned asked : {SCI_STYLEGETFORE, SCI_STYLEGETBACK, SCI_STYLEGETITALIC, SCI_STYLEGETBOLD})
                values.push_back(send(asked, style));
        values.push_back(send(SCI_GETCARETLINEBACK));
        values.push_back(send(QsciScintillaBase::SCI_GETCARETFORE));
        return values;
    }

    // The call tip shown with that text: the colour of its corner and the darkest or lightest
    // colour inside it, whichever stands out from the corner most (its text).
    std::pair<int, int> tip_colours(const char* text) const {
        send(SCI_CALLTIPSHOW, 0, reinterpret_cast<std::intptr_t>(text));
        QWidget* tip = nullptr;
        // The tip is a window of its own that the editor owns.
        for (QWidget* w : widget()->findChildren<QWidget*>())
            if (w->isWindow() && w->isVisible()) tip = w;
        if (!tip) return {-1, -1};
        const QImage image = tip->grab().toImage();
        send(SCI_CALLTIPCANCEL);
        const auto bgr = [](QRgb c) { return int(qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16)); };
        const QRgb back = image.pixel(image.width() / 2, 2);
        QRgb fore = back;
        // Inside the tip's frame.
        for (int y = 2; y < image.height() - 2; ++y)
            for (int x = 2; x < image.width() - 2; ++x)
                if (std::abs(qGray(image.pixel(x, y)) - qGray(back)) > std::abs(qGray(fore) - qGray(back)))
                    fore = image.pixel(x, y);
        return {bgr(back), bgr(fore)};
    }

    const QPalette light_palette_ = QApplication::palette();
};

TEST_F(EditorThemeSwitch, APaletteChangeSwitchesTheTableLiveAndBack) {
    ASSERT_EQ(theme_desktop_kind(), THEME_LIGHT) << "the tests start on a light palette";
    // Where the program never set a colour, the light table holds the component's own.
    create_editor(EDITOR_LINE_NUMBERS, false);
    const EditorTheme& light = theme_table(THEME_LIGHT);
    EXPECT_EQ(send(SCI_STYLEGETBACK, STYLE_DEFAULT), light.background);
    EXPECT_EQ(send(SCI_STYLEGETBACK, STYLE_LINENUMBER), light.line_number_back);
    EXPECT_EQ(send(SCI_STYLEGETFORE, STYLE_LINENUMBER), light.line_number_fore);
    EXPECT_EQ(send(QsciScintillaBase::SCI_GETCARETFORE), light.caret);

    create_editor(EDITOR_LINE_NUMBERS, true);
    names_start(kEditor, true);
    const std::vector<std::intptr_t> light_look = look();
    const EditorTheme& dark = theme_table(THEME_DARK);
    QApplication::setPalette(QPalette(QColor(53, 53, 53)));
    ASSERT_EQ(theme_desktop_kind(), THEME_DARK);
    // clang-format off
    const std::pair<std::intptr_t, int> shown[] = {
        {send(SCI_STYLEGETBACK, STYLE_DEFAULT), dark.background}, {send(SCI_STYLEGETBACK, STYLE_KEYWORD), dark.background},
        {send(SCI_STYLEGETFORE, STYLE_DEFAULT), dark.foreground}, {send(SCI_STYLEGETFORE, STYLE_KEYWORD), dark.keyword},
        {send(SCI_STYLEGETFORE, STYLE_CALL), dark.call}, {send(SCI_STYLEGETBACK, STYLE_LINENUMBER), dark.line_number_back},
        {send(SCI_STYLEGETBACK, STYLE_BRACELIGHT), dark.brace_match_back},
        {send(QsciScintillaBase::SCI_INDICGETFORE, FIND_INDICATOR), dark.find_match},
        {send(QsciScintillaBase::SCI_INDICGETFORE, INDICATOR_SYNTAX_ERROR), dark.error_indicator},
        {send(QsciScintillaBase::SCI_INDICGETFORE, OCCURRENCE_INDICATOR), dark.occurrence_mark},
        {send(SCI_GETCARETLINEBACK), dark.current_line}, {send(QsciScintillaBase::SCI_GETCARETFORE), dark.caret},
        // The fonts stay: comments italic, the red spare style bold.
        {send(SCI_STYLEGETITALIC, STYLE_COMMENT), 1}, {send(SCI_STYLEGETBOLD, STYLE_SPARE_RED_BOLD), 1},
    };
    // clang-format on
    for (std::size_t i = 0; i < std::size(shown); ++i) EXPECT_EQ(shown[i].first, shown[i].second) << i;
    // The call tip of an error is drawn on the table's page, in its text colour.
    EXPECT_EQ(tip_colours("missing ) after argument list"), std::make_pair(dark.tip_back, dark.tip_fore));
    QApplication::setPalette(light_palette_);
    EXPECT_EQ(look(), light_look);
    EXPECT_EQ(tip_colours("x"), std::make_pair(light.tip_back, light.tip_fore));
}

}  // namespace
