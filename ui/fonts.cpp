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

}  // namespace

QFont MakeFont(const window::Font& font) {
  EnsureCarriedFonts();
  const bool comic = font.face == window::Face::kComic;
  QFont made;
  made.setFamilies({QString::fromLatin1(comic ? kComicFamily : kSansFamily)});
  made.setStyleHint(comic ? QFont::Cursive : QFont::SansSerif);
  made.setPixelSize(font.pixel_size);
  made.setWeight(font.style == window::FontStyle::kRegular ? QFont::Normal : QFont::Bold);
  made.setItalic(font.style == window::FontStyle::kBoldItalic);
  made.setUnderline(font.underline);
  return made;
}

}  // namespace zephran::ui
