#include "ui/fonts.h"

#include <QByteArray>
#include <QFontDatabase>
#include <QResource>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace; see assets.cpp.
static void InitFontResources() {
  Q_INIT_RESOURCE(fonts);
}

namespace zephran::ui {

void LoadCarriedFonts() {
  static const bool loaded = [] {
    InitFontResources();
    for (const char* file :
         {":/fonts/ComicNeue-Bold.otf", ":/fonts/ComicNeue-BoldItalic.otf",
          ":/fonts/LiberationSans-Regular.ttf", ":/fonts/LiberationSans-Bold.ttf"}) {
      // Stored uncompressed, so the face is read where it lies in the
      // program instead of being unpacked into a copy.
      const QResource resource(QString::fromLatin1(file));
      const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(resource.data()),
                                                      static_cast<qsizetype>(resource.size()));
      if (resource.compressionAlgorithm() != QResource::NoCompression ||
          QFontDatabase::addApplicationFontFromData(data) < 0) {
        qWarning("Cannot load the font %s", file);
      }
    }
    return true;
  }();
  (void)loaded;
}

QFont MakeFont(const window::Font& font) {
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
