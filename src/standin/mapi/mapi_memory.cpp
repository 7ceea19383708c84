// MAPI's memory model: a buffer from MAPIAllocateBuffer owns every block that
// MAPIAllocateMore links to it, and one MAPIFreeBuffer releases them all.
// Each block carries a small header in front of the caller's bytes: a tag
// telling parent from linked block, and the chain of linked blocks.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "standin/mapi/mapi_standin.h"

namespace kalinor::mapi_standin {
namespace {

constexpr std::uint32_t kParentTag = 0x4B4D4150;  // "KMAP"
constexpr std::uint32_t kLinkedTag = 0x4B4D4F52;  // "KMOR"

struct alignas(std::max_align_t) BlockHeader {
  std::uint32_t tag;
  BlockHeader* next_linked;  // a parent: its first linked block; a linked block: the next one
};

BlockHeader* HeaderOf(void* block) {
  return reinterpret_cast<BlockHeader*>(static_cast<unsigned char*>(block) - sizeof(BlockHeader));
}

void* BytesOf(BlockHeader* header) {
  return reinterpret_cast<unsigned char*>(header) + sizeof(BlockHeader);
}

BlockHeader* NewBlock(ULONG size, std::uint32_t tag) {
  // Only a 32-bit size_t can wrap here.
  const std::size_t total = sizeof(BlockHeader) + static_cast<std::size_t>(size);
  if (total < sizeof(BlockHeader)) return nullptr;
  void* memory = std::calloc(1, total);
  if (memory == nullptr) return nullptr;
  auto* header = static_cast<BlockHeader*>(memory);
  header->tag = tag;
  header->next_linked = nullptr;
  return header;
}

}  // namespace

SCODE MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer) {
  if (lppBuffer == nullptr) return MAPI_E_INVALID_PARAMETER;
  *lppBuffer = nullptr;
  BlockHeader* header = NewBlock(cbSize, kParentTag);
  if (header == nullptr) return MAPI_E_NOT_ENOUGH_MEMORY;
  *lppBuffer = BytesOf(header);
  return S_OK;
}

SCODE MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer) {
  if (lppBuffer == nullptr) return MAPI_E_INVALID_PARAMETER;
  *lppBuffer = nullptr;
  if (lpObject == nullptr) return MAPI_E_INVALID_PARAMETER;
  BlockHeader* parent = HeaderOf(lpObject);
  if (parent->tag != kParentTag) return MAPI_E_INVALID_PARAMETER;
  BlockHeader* linked = NewBlock(cbSize, kLinkedTag);
  if (linked == nullptr) return MAPI_E_NOT_ENOUGH_MEMORY;
  linked->next_linked = parent->next_linked;
  parent->next_linked = linked;
  *lppBuffer = BytesOf(linked);
  return S_OK;
}

ULONG MAPIFreeBuffer(LPVOID lpBuffer) {
  if (lpBuffer == nullptr) return 0;
  BlockHeader* parent = HeaderOf(lpBuffer);
  if (parent->tag != kParentTag) return 0;
  BlockHeader* linked = parent->next_linked;
  while (linked != nullptr) {
    BlockHeader* next = linked->next_linked;
    linked->tag = 0;
    std::free(linked);
    linked = next;
  }
  parent->tag = 0;
  std::free(parent);
  return 0;
}

void FreeProws(LPSRowSet lpRows) {
  if (lpRows == nullptr) return;
  for (ULONG row = 0; row < lpRows->cRows; ++row)
    mapi_standin::MAPIFreeBuffer(lpRows->aRow[row].lpProps);
  mapi_standin::MAPIFreeBuffer(lpRows);
}

}  // namespace kalinor::mapi_standin
