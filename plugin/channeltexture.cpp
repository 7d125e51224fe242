#include "plugin/channeltexture.h"

#include "host/binding.h"

namespace pigmora {

namespace {
// A name that stays one file name inside the folder.
std::string plainFileName(const std::string& name) {
  std::string out;
  for (char ch : name) out += (ch == '/' || ch == '\\' || ch == '\0') ? '_' : ch;
  while (!out.empty() && out[0] == '.') out[0] = '_';
  return out.empty() ? "_" : out;
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string fileOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
}  // namespace

std::string channelTexturePath(host::Object* obj, host::Material* mat, ChannelIndex c,
                               int32_t format) {
  (void)obj;
  if (!mat) return {};
  const std::string file =
      plainFileName(mat->name() + "_" + channelKey(c)) + host::api().paint().formatSuffix(format);
  host::Document* doc = mat->document();
  const std::string folder = doc ? doc->data().getFilename(host::kDocPath) : std::string();
  return folder.empty() ? file : folder + "/" + file;
}

host::PaintTexture* createChannelTexture(host::Material* mat, ChannelIndex c,
                                         const std::string& path, int32_t format, int32_t width,
                                         int32_t height) {
  host::Document* doc = mat ? mat->document() : nullptr;
  if (!doc || path.empty() || c < 0 || c >= kChannelCount) return nullptr;
  host::Paint& paint = host::api().paint();
  mat->enableChannel(c, true);
  host::Channel* channel = mat->channel(c);
  if (!channel) return nullptr;
  host::Settings settings;
  paint.defaultTextureSettings(c, settings);
  settings.setInt32(host::kNewTexFormat, format);
  settings.setInt32(host::kNewTexWidth, width);
  settings.setInt32(host::kNewTexHeight, height);
  if (c == kChannelNormal) {
    settings.setInt32(host::kNewTexFillStyle, host::kFillStyleColor);
    settings.setVector(host::kNewTexFillColor, host::Vector(128, 128, 255));
  }
  host::PaintTexture* tex = paint.createTexture(doc, path, settings);
  if (!tex) return nullptr;
  channel->data().setFilename(host::kChannelFile, fileOf(path));
  channel->data().setFilename(host::kChannelDirectory, folderOf(path));
  channel->data().setInt32(host::kChannelMode, 0);
  return tex;
}

}  // namespace pigmora
