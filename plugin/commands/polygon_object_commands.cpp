#include "plugin/commands/polygon_object_commands.h"

namespace pigmora {

host::PolygonObject* PolygonObjectCommands::activePolygonObject(host::Document* doc) {
  host::Object* obj = doc ? doc->activeObject() : nullptr;
  return obj && obj->type() == host::kTypePolygonObject ? static_cast<host::PolygonObject*>(obj)
                                                        : nullptr;
}

int32_t PolygonObjectCommands::getState(host::Document* doc) {
  return activePolygonObject(doc) ? kStateEnabled : 0;
}

}  // namespace pigmora
