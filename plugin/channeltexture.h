// New textures of material channels: where their files go and how they are made.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"
#include "plugin/paintchannels.h"

namespace pigmora {

// The file of channel c's new texture: the material's name, "_" and the channel's key, with the
// format's suffix, in the document's folder (alone when the document has none). Characters that
// would lead out of the folder are replaced.
std::string channelTexturePath(host::Object* obj, host::Material* mat, ChannelIndex c,
                               int32_t format);

// Enables the channel, creates its texture file from the host's new-texture settings for the
// channel (format, width, height; the Normal channel filled with (128, 128, 255)) and links the
// file to the channel. Null when the host could not create it.
host::PaintTexture* createChannelTexture(host::Material* mat, ChannelIndex c,
                                         const std::string& path, int32_t format, int32_t width,
                                         int32_t height);

}  // namespace pigmora
