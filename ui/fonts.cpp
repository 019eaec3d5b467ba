#include "ui/fonts.h"

#include <QFontDatabase>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace; see assets.cpp.
static void InitFontResources() {
  Q_INIT_RESOURCE(fonts);
}

namespace zephran::ui {

namespace {

// Registers the carried faces with Qt once, before the first font is made.
void EnsureCarriedFonts() {
  static const bool loaded = [] {
    InitFontResources();
    for (const char* file :
         {":/fonts/ComicNeue-Bold.otf", ":/fonts/ComicNeue-BoldItalic.otf",
          ":/fonts/LiberationSans-Regular.ttf", ":/fonts/LiberationSans-Bold.ttf"}) {
      if (QFontDatabase::addApplicationFont(QString::fromLatin1(file)) < 0) {
        qWarning("Cannot load the font %s", file);
      }
    }
    return true;
  }();
  (void)loaded;
}

QFont MakeFont(const char* family, QFont::StyleHint hint, int pixel_size, FontStyle style) {
  EnsureCarriedFonts();
  QFont font;
  font.setFamilies({QString::fromLatin1(family)});
  font.setStyleHint(hint);
  font.setPixelSize(pixel_size);
  font.setWeight(style == FontStyle::kRegular ? QFont::Normal : QFont::Bold);
  font.setItalic(style == FontStyle::kBoldItalic);
  return font;
}

}  // namespace

QFont ComicFont(int pixel_size, FontStyle style) {
  return MakeFont(kComicFamily, QFont::Cursive, pixel_size, style);
}

QFont SansFont(int pixel_size, FontStyle style, bool underline) {
  QFont font = MakeFont(kSansFamily, QFont::SansSerif, pixel_size, style);
  font.setUnderline(underline);
  return font;
}

}  // namespace zephran::ui
