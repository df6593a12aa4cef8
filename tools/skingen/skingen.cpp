// skingen OUTDIR: draws the normal and lit skin pictures and the icon, and writes
//   Image.bmz, Image1.bmz   the pictures as the program embeds them (CMP blobs)
//   Image.bmp, Image1.bmp   the same pictures unpacked
//   Image.png, Image1.png   and as PNG, for people to look at (image viewers reject
//                           the BMP's understated file-size field)
//   icon.png                the icon
//   icon128.png             the icon at four times its size, for desktops that
//                           show large icons (pixels repeated, kept crisp)
//   skin_data.cpp           the blobs and the icon as C++ for the build
// Output files are replaced only when their bytes change, so an unchanged drawing
// does not make the build recompile the program.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/skingen/encode.h"
#include "tools/skingen/panel.h"

namespace {

namespace fs = std::filesystem;

bool WriteIfChanged(const fs::path& path, const void* data, size_t size) {
  {
    std::ifstream in(path, std::ios::binary);
    if (in) {
      std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (old.size() == size && std::equal(old.begin(), old.end(), static_cast<const char*>(data)))
        return true;
    }
  }
  fs::path tmp = path;
  tmp += ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) {
      std::fprintf(stderr, "skingen: cannot write %s\n", tmp.c_str());
      return false;
    }
  }
  std::error_code ec;
  fs::rename(tmp, path, ec);
  if (ec)
    std::fprintf(stderr, "skingen: cannot replace %s: %s\n", path.c_str(), ec.message().c_str());
  return !ec;
}

bool WriteBytes(const fs::path& path, const std::vector<uint8_t>& v) {
  return WriteIfChanged(path, v.data(), v.size());
}

bool WritePng(const fs::path& path, const Canvas& c, int scale = 1) {
  QImage img(c.Width() * scale, c.Height() * scale, QImage::Format_RGB32);
  for (int y = 0; y < img.height(); ++y) {
    auto* line = reinterpret_cast<uint32_t*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x)
      line[x] = 0xFF000000u | c.Pixels()[static_cast<size_t>(y / scale) * c.Width() + x / scale];
  }
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!img.save(&buffer, "PNG")) {
    std::fprintf(stderr, "skingen: cannot encode %s\n", path.c_str());
    return false;
  }
  return WriteIfChanged(path, png.constData(), static_cast<size_t>(png.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: skingen OUTDIR\n");
    return 2;
  }
  fs::path dir = argv[1];
  std::error_code ec;
  fs::create_directories(dir, ec);

  Canvas normalArt = DrawSkin(false), litArt = DrawSkin(true);
  std::vector<uint8_t> normalBmp = EncodeBmp(normalArt);
  std::vector<uint8_t> litBmp = EncodeBmp(litArt);
  std::vector<uint8_t> normal = PackCmp(normalBmp);
  std::vector<uint8_t> lit = PackCmp(litBmp);
  if (normal.empty() || lit.empty()) {
    std::fprintf(stderr, "skingen: zlib could not pack the pictures\n");
    return 1;
  }
  Canvas icon = DrawIcon();
  std::vector<uint32_t> iconPixels = IconPixels(icon);
  std::string source = SkinDataSource(normal, lit, iconPixels);

  bool ok = WriteBytes(dir / "Image.bmz", normal) && WriteBytes(dir / "Image1.bmz", lit) &&
            WriteBytes(dir / "Image.bmp", normalBmp) && WriteBytes(dir / "Image1.bmp", litBmp) &&
            WritePng(dir / "Image.png", normalArt) && WritePng(dir / "Image1.png", litArt) &&
            WritePng(dir / "icon.png", icon) && WritePng(dir / "icon128.png", icon, 4) &&
            WriteIfChanged(dir / "skin_data.cpp", source.data(), source.size());
  return ok ? 0 : 1;
}
