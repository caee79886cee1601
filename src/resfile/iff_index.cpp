#include "resfile/iff_index.h"

#include <algorithm>

namespace pixmold {

std::uint32_t IFFIndex::Key(ResID id, std::uint8_t variant) const {
  const std::uint32_t idBits = static_cast<std::uint16_t>(id);
  return fVariants ? (idBits << 8) | variant : idBits;
}

IFFIndex::TypeNode* IFFIndex::FindNode(ResType type) const {
  auto it = fTypeMap.find(type);
  return it == fTypeMap.end() ? nullptr : it->second;
}

ResType IFFIndex::TypeAt(std::int32_t index) const {
  if (index < 1 || index > CountTypes()) return 0;
  const auto position = static_cast<std::size_t>(fOrder == Order::kOldestFirst ? index - 1 : CountTypes() - index);
  return fTypes[position]->type;
}

std::int32_t IFFIndex::Count(ResType type) const {
  const TypeNode* node = FindNode(type);
  return node ? static_cast<std::int32_t>(node->entries.size()) : 0;
}

IFFEntry* IFFIndex::At(ResType type, std::int32_t index) const {
  const TypeNode* node = FindNode(type);
  if (!node) return nullptr;
  const auto count = static_cast<std::int32_t>(node->entries.size());
  if (index < 1 || index > count) return nullptr;
  const auto position = static_cast<std::size_t>(fOrder == Order::kOldestFirst ? index - 1 : count - index);
  return node->entries[position].get();
}

IFFEntry* IFFIndex::Find(ResType type, ResID id, std::uint8_t variant) const {
  const TypeNode* node = FindNode(type);
  if (!node) return nullptr;
  auto it = node->byKey.find(Key(id, variant));
  return it == node->byKey.end() ? nullptr : it->second;
}

IFFEntry* IFFIndex::FindHandle(MHandle handle) const {
  if (!handle) return nullptr;
  auto it = fHandles.find(handle);
  return it == fHandles.end() ? nullptr : it->second;
}

IFFEntry& IFFIndex::Add(std::unique_ptr<IFFEntry> entry) {
  TypeNode* node = FindNode(entry->type);
  if (!node) {
    fTypes.push_back(std::make_unique<TypeNode>());
    node = fTypes.back().get();
    node->type = entry->type;
    fTypeMap.emplace(node->type, node);
  }
  IFFEntry& added = *entry;
  node->entries.push_back(std::move(entry));
  const std::uint32_t key = KeyOf(added);
  // Enumeration shows the newest first in the first version, so a lookup
  // finds the newest of equal keys there and the oldest in the second.
  if (fOrder == Order::kNewestFirst) {
    node->byKey[key] = &added;
  } else {
    node->byKey.emplace(key, &added);
  }
  if (added.handle) fHandles[added.handle] = &added;
  return added;
}

void IFFIndex::ReindexKey(TypeNode& node, std::uint32_t key) {
  IFFEntry* preferred = nullptr;
  for (const auto& entry : node.entries) {
    if (KeyOf(*entry) != key) continue;
    preferred = entry.get();
    if (fOrder == Order::kOldestFirst) break;
  }
  if (preferred) {
    node.byKey[key] = preferred;
  } else {
    node.byKey.erase(key);
  }
}

void IFFIndex::RemoveNode(TypeNode* node) {
  fTypeMap.erase(node->type);
  auto it = std::find_if(fTypes.begin(), fTypes.end(), [node](const auto& n) { return n.get() == node; });
  fTypes.erase(it);
}

void IFFIndex::Remove(IFFEntry* entry) {
  TypeNode* node = FindNode(entry->type);
  if (!node) return;
  auto it = std::find_if(node->entries.begin(), node->entries.end(), [entry](const auto& e) { return e.get() == entry; });
  if (it == node->entries.end()) return;
  if (entry->handle) fHandles.erase(entry->handle);
  const std::uint32_t key = KeyOf(*entry);
  std::unique_ptr<IFFEntry> doomed = std::move(*it);
  node->entries.erase(it);
  auto keyed = node->byKey.find(key);
  if (keyed != node->byKey.end() && keyed->second == entry) ReindexKey(*node, key);
  if (node->entries.empty()) RemoveNode(node);
}

void IFFIndex::Rekey(IFFEntry& entry, ResID id, std::uint8_t variant) {
  TypeNode* node = FindNode(entry.type);
  if (!node) return;
  const std::uint32_t oldKey = KeyOf(entry);
  entry.id = id;
  if (fVariants) entry.flags = static_cast<std::uint16_t>((entry.flags & 0x00FF) | (variant << 8));
  const std::uint32_t newKey = KeyOf(entry);
  if (oldKey == newKey) return;
  ReindexKey(*node, oldKey);
  ReindexKey(*node, newKey);
}

void IFFIndex::SetHandle(IFFEntry& entry, MHandle handle) {
  if (entry.handle) fHandles.erase(entry.handle);
  entry.handle = handle;
  if (handle) fHandles[handle] = &entry;
}

void IFFIndex::Clear() {
  fTypes.clear();
  fTypeMap.clear();
  fHandles.clear();
}

void IFFIndex::ForEach(const std::function<void(IFFEntry&)>& visit) const {
  for (std::int32_t t = 1; t <= CountTypes(); ++t) {
    const ResType type = TypeAt(t);
    const std::int32_t count = Count(type);
    for (std::int32_t i = 1; i <= count; ++i) visit(*At(type, i));
  }
}

const std::vector<std::unique_ptr<IFFEntry>>* IFFIndex::Entries(ResType type) const {
  const TypeNode* node = FindNode(type);
  return node ? &node->entries : nullptr;
}

std::vector<ResType> IFFIndex::Types() const {
  std::vector<ResType> types;
  types.reserve(fTypes.size());
  for (const auto& node : fTypes) types.push_back(node->type);
  return types;
}

}  // namespace pixmold
