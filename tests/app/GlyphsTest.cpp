// The speed-button pictures and their disabled form.
#include <gtest/gtest.h>
#include <QIcon>

#include "app/Glyphs.h"

namespace {

struct Glyph {
    const char* name;
    QImage (*draw)();
};
const Glyph kGlyphs[] = {
    {"hand writing", glyphs::HandWriting},
    {"envelope", glyphs::EnvelopeWithStamp},
    {"notepad", glyphs::SpiralNotepad},
    {"globe", glyphs::Globe},
};

int Opaque(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0;
    }
    return count;
}

TEST(Glyphs, SixteenSquareWithTransparentBottomLeftAndAPictureOnIt) {
    for (const Glyph& g : kGlyphs) {
        SCOPED_TRACE(g.name);
        const QImage image = g.draw();
        EXPECT_EQ(QSize(16, 16), image.size());
        EXPECT_EQ(0, qAlpha(image.pixel(0, 15)));
        EXPECT_GT(Opaque(image), 40);
        EXPECT_LT(Opaque(image), 256);
    }
}

TEST(Glyphs, EachPictureDiffersFromTheOthers) {
    for (const Glyph& a : kGlyphs) {
        for (const Glyph& b : kGlyphs) {
            if (&a != &b) {
                EXPECT_NE(a.draw(), b.draw()) << a.name << " / " << b.name;
            }
        }
    }
}

TEST(Glyphs, DisabledFormIsGreyReliefOfTheDarkParts) {
    for (const Glyph& g : kGlyphs) {
        SCOPED_TRACE(g.name);
        const QImage normal = g.draw();
        const QImage disabled = glyphs::DisabledForm(normal);
        ASSERT_EQ(normal.size(), disabled.size());
        int grey = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QRgb p = disabled.pixel(x, y);
                if (qAlpha(p) == 0)
                    continue;
                EXPECT_TRUE(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p)) << x << "," << y;
                if (qRed(p) == 128) {
                    ++grey;
                    EXPECT_LT(qGray(normal.pixel(x, y)), 192) << x << "," << y;
                }
            }
        }
        EXPECT_GT(grey, 10);
    }
}

TEST(Glyphs, DisabledFormOfALightPictureIsEmptyAndAnEdgeNeverLeavesTheSquare) {
    QImage light(16, 16, QImage::Format_ARGB32);
    light.fill(QColor(240, 240, 200));
    EXPECT_EQ(0, Opaque(glyphs::DisabledForm(light)));

    QImage dark(16, 16, QImage::Format_ARGB32);
    dark.fill(Qt::black);
    const QImage relief = glyphs::DisabledForm(dark);
    EXPECT_EQ(256, Opaque(relief));
    EXPECT_EQ(qRgb(128, 128, 128), relief.pixel(15, 15));
}

TEST(Glyphs, IconShowsTheDisabledFormWhenDisabled) {
    const QIcon icon = glyphs::Icon(glyphs::Globe());
    const QImage normal = icon.pixmap(16, 16, QIcon::Normal).toImage();
    const QImage disabled = icon.pixmap(16, 16, QIcon::Disabled).toImage();
    EXPECT_EQ(glyphs::Globe().convertToFormat(normal.format()), normal);
    EXPECT_EQ(glyphs::DisabledForm(glyphs::Globe()).convertToFormat(disabled.format()), disabled);
}

}  // namespace
