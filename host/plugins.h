// The host's plug-in base classes. The plug-in derives from them and overrides their virtual
// operations; the host calls them. Defaults answer as the host does when a plug-in does not care.
#pragma once

#include <cstdint>
#include <string>

#include "host/description.h"
#include "host/settings.h"

namespace host {

class Document;
class DocumentFile;
class Node;

class BaseData {
 public:
  virtual ~BaseData() = default;
};

class CommandData : public BaseData {
 public:
  static constexpr int32_t kStateEnabled = 0x40000000;
  virtual bool execute(Document* doc) = 0;
  virtual bool executeSubId(Document* doc, int32_t subId) {
    (void)doc;
    (void)subId;
    return false;
  }
  virtual bool executeOptionId(Document* doc, int32_t optionId) {
    (void)doc;
    (void)optionId;
    return false;
  }
  virtual int32_t getState(Document* doc) {
    (void)doc;
    return kStateEnabled;
  }
  // The command's settings for the host's command manager; false: it has none.
  virtual bool getSubContainer(Document* doc, Settings& out) {
    (void)doc;
    (void)out;
    return false;
  }
  virtual bool restoreLayout(void* secret) {
    (void)secret;
    return true;
  }
  // The name scripts call the command by; empty: the registration name.
  virtual std::string getScriptName() { return {}; }
  virtual bool message(int32_t type, void* data) {
    (void)type;
    (void)data;
    return true;
  }
};

class NodeData : public BaseData {
 public:
  virtual bool init(Node* node) {
    (void)node;
    return true;
  }
  virtual void free(Node* node) { (void)node; }
  // Node message; the default handling answers true.
  virtual bool message(Node* node, int32_t type, void* data) {
    (void)node;
    (void)type;
    (void)data;
    return true;
  }
  virtual bool getDescription(Node* node, Description& desc, int32_t& flags) {
    (void)node;
    (void)desc;
    (void)flags;
    return true;
  }
  // Parameter access by id. Answering false lets the host use the node's own container.
  virtual bool getParameter(Node* node, int32_t id, Value& out, int32_t& flags) {
    (void)node;
    (void)id;
    (void)out;
    (void)flags;
    return false;
  }
  virtual bool setParameter(Node* node, int32_t id, const Value& v, int32_t& flags) {
    (void)node;
    (void)id;
    (void)v;
    (void)flags;
    return false;
  }
  virtual bool getEnabling(Node* node, int32_t id, const Value& v, int32_t flags) {
    (void)node;
    (void)id;
    (void)v;
    (void)flags;
    return true;
  }
  // The node's part of a document file. `level` is the disk level the data was written with.
  // A node that keeps nothing in files reads and writes nothing.
  virtual bool read(Node* node, DocumentFile* file, int32_t level) {
    (void)node;
    (void)file;
    (void)level;
    return true;
  }
  virtual bool write(Node* node, DocumentFile* file) {
    (void)node;
    (void)file;
    return true;
  }
  // Copies the node's own data into `dest` (a node of the same plug-in) when the host copies the
  // node, as when a document is copied.
  virtual bool copyTo(NodeData* dest, Node* node, Node* destNode, int32_t flags) {
    (void)dest;
    (void)node;
    (void)destNode;
    (void)flags;
    return true;
  }
};

class SceneHookData : public NodeData {};

class MessageData : public BaseData {
 public:
  virtual int32_t getTimer() { return 0; }
  virtual bool coreMessage(int32_t id, const Settings& msg) {
    (void)id;
    (void)msg;
    return true;
  }
};

class PrefsDialogObject : public NodeData {
 public:
  // Initialises one value of the page; with a description at hand its default is set there.
  virtual bool initValues(int32_t id, Description* desc) {
    (void)id;
    (void)desc;
    return true;
  }
};

using NodeAllocator = NodeData* (*)();

}  // namespace host
