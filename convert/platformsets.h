#pragma once

#include "conversion.h"
#include "setwriter.h"

#include <QStringList>

// The icon sets of phones, app stores and Windows packages, each laid out as
// its own tools take it, and macOS' .iconset folder:
// - Android (--android DIR): DIR/res/mipmap-{m,h,xh,xxh,xxxh}dpi/ with
//   ic_launcher.png (48 dp), ic_launcher_round.png (the picture on a disc)
//   and the adaptive icon's layers ic_launcher_foreground.png and
//   ic_launcher_monochrome.png (108 dp, the picture within the 66 dp circle
//   every mask keeps); DIR/res/mipmap-anydpi-v26/ic_launcher.xml and
//   ic_launcher_round.xml naming them over the colour of
//   DIR/res/values/ic_launcher_background.xml; and the store's 512,
//   DIR/ic_launcher-playstore.png. The files are named ic_launcher whatever
//   the icon's name, as Android's templates name them.
// - iOS (--ios DIR): DIR/AppIcon.appiconset/, its Contents.json and the
//   1024 universal image Xcode takes today, or with --ios-all every size of
//   the older list; every image opaque over the background.
// - Windows package (--msix DIR): DIR/Assets/, each tile logo at the scales
//   100, 125, 150, 200 and 400, the app list's logo at its target sizes,
//   plated and unplated, and the store logo; the <uap:VisualElements> lines
//   of the package manifest are the set's lines.
// - macOS (--iconset DIR, or -o NAME.iconset): DIR/icon_16x16.png ...
//   icon_512x512@2x.png, as iconutil makes an .icns of it.

// Which of them a request asks for.
enum class PlatformSet { Android, Ios, Msix, Iconset };

SetFiles writeAndroidSet(const SetRequest &request);
SetFiles writeIosSet(const SetRequest &request);
SetFiles writeMsixSet(const SetRequest &request);
SetFiles writeIconset(const SetRequest &request);

// The same of pictures read already with detail for 1024, written as `set`
// places it; `inputs` as given, which failures name.
SetFiles writePlatformSetOf(PlatformSet platform, const std::vector<Picture> &pictures, const SetRequest &request,
                            SetWriter set);
