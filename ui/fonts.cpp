#include "ui/fonts.h"

#include <QString>
#include <QStringList>

namespace zephran::ui {

namespace {

QFont MakeFont(const QStringList& families, QFont::StyleHint hint, int pixel_size,
               FontStyle style) {
  QFont font;
  font.setFamilies(families);
  font.setStyleHint(hint);
  font.setPixelSize(pixel_size);
  font.setWeight(style == FontStyle::kRegular ? QFont::Normal : QFont::Bold);
  font.setItalic(style == FontStyle::kBoldItalic);
  return font;
}

}  // namespace

QFont ComicFont(int pixel_size, FontStyle style) {
  return MakeFont({QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue")}, QFont::Cursive,
                  pixel_size, style);
}

QFont SansFont(int pixel_size, FontStyle style, bool underline) {
  // Faces with Arial's narrow metrics come first: the boxes were measured for
  // MS Sans Serif, and in a wider face "Read-me.txt" no longer fits its box.
  QFont font = MakeFont(
      {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
       QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
       QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans")},
      QFont::SansSerif, pixel_size, style);
  font.setUnderline(underline);
  return font;
}

}  // namespace zephran::ui
