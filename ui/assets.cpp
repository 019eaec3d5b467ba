#include "ui/assets.h"

#include <QPixmapCache>
#include <QString>
#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace. Calling it makes the
// linker keep the embedded pictures, which a static library would otherwise
// drop because nothing names them.
static void InitAssetResources() {
  Q_INIT_RESOURCE(assets);
}

namespace zephran::ui {

namespace {

void EnsureResources() {
  static const bool initialised = [] {
    InitAssetResources();
    return true;
  }();
  (void)initialised;
}

QString AssetPath(Asset asset) {
  switch (asset) {
    case Asset::kBackground:
      return QStringLiteral(":/assets/background.bmp");
    case Asset::kCheckOff:
      return QStringLiteral(":/assets/check_off.bmp");
    case Asset::kCheckOn:
      return QStringLiteral(":/assets/check_on.bmp");
  }
  return {};
}

}  // namespace

QPixmap LoadAsset(Asset asset) {
  EnsureResources();
  const QString path = AssetPath(asset);
  // Decoded on first use, once for the whole program: the three check boxes
  // share their two pictures.
  QPixmap picture;
  if (QPixmapCache::find(path, &picture)) {
    return picture;
  }
  if (!picture.load(path)) {
    qWarning("Missing picture %s", qPrintable(path));
    return picture;
  }
  QPixmapCache::insert(path, picture);
  return picture;
}

QIcon WindowIcon() {
  EnsureResources();
  QIcon icon;
  icon.addFile(QStringLiteral(":/assets/icon-16.png"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/assets/icon-32.png"), QSize(32, 32));
  return icon;
}

}  // namespace zephran::ui
