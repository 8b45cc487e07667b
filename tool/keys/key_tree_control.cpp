#include "key_tree_control.h"


#include "dpi.h"
#include "text.h"

namespace brevant {

HTREEITEM KeyTreeControl::Next(HTREEITEM node, UINT relation) const {
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(tree_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(node)));
}

HTREEITEM KeyTreeControl::SelectedNode() const { return Next(nullptr, TVGN_CARET); }
HTREEITEM KeyTreeControl::ParentNode(HTREEITEM node) const { return node ? Next(node, TVGN_PARENT) : nullptr; }
HTREEITEM KeyTreeControl::FirstChildNode(HTREEITEM node) const { return node ? Next(node, TVGN_CHILD) : nullptr; }
HTREEITEM KeyTreeControl::FirstRootNode() const { return Next(nullptr, TVGN_ROOT); }
HTREEITEM KeyTreeControl::NextSiblingNode(HTREEITEM node) const { return node ? Next(node, TVGN_NEXT) : nullptr; }

std::uint32_t KeyTreeControl::NodeId(HTREEITEM node) const {
  if (node == nullptr) return kNoNodeId;
  TVITEMW item = {};
  item.mask = TVIF_PARAM | TVIF_HANDLE;
  item.hItem = node;
  if (!SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return kNoNodeId;
  return static_cast<std::uint32_t>(item.lParam);
}

std::string KeyTreeControl::NodeText(HTREEITEM node) const {
  wchar_t text[512] = {};
  TVITEMW item = {};
  item.mask = TVIF_TEXT | TVIF_HANDLE;
  item.hItem = node;
  item.pszText = text;
  item.cchTextMax = static_cast<int>(std::size(text));
  if (node == nullptr || !SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return {};
  return fw::WideToAnsi(text);
}

HTREEITEM KeyTreeControl::AddNode(HTREEITEM parent, const std::string& text, int image, std::uint32_t id) {
  std::wstring wide = fw::AnsiToWide(text);
  TVINSERTSTRUCTW insert = {};
  insert.hParent = parent != nullptr ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
  insert.item.pszText = wide.data();
  insert.item.iImage = insert.item.iSelectedImage = image;
  insert.item.lParam = static_cast<LPARAM>(id);
  return reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void KeyTreeControl::DeleteAllNodes() { SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }

void KeyTreeControl::SelectNode(HTREEITEM node) {
  SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node));
}

void KeyTreeControl::ExpandNode(HTREEITEM node) {
  SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node));
}

void DetailsListControl::SetUpColumns(const std::string& header, int caption_width, int value_width) {
  SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
  const LPARAM extended = SendMessageW(list_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
  SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, extended | 0x409);
  std::wstring header_text = fw::AnsiToWide(header);
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  column.fmt = LVCFMT_LEFT;
  const int dpi = fw::WindowDpi(list_);  // the widths are 96-DPI pixels
  column.cx = fw::ScaleToDpi(caption_width, dpi);
  column.pszText = header_text.data();
  SendMessageW(list_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  std::wstring empty;
  column.cx = fw::ScaleToDpi(value_width, dpi);
  column.pszText = empty.data();
  SendMessageW(list_, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
}

void DetailsListControl::Clear() { SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0); }

void DetailsListControl::AddRow(const std::string& caption, const std::string& value) {
  std::wstring first = fw::AnsiToWide(caption), second = fw::AnsiToWide(value);
  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = first.data();
  const int row = static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return;
  item.iSubItem = 1;
  item.pszText = second.data();
  SendMessageW(list_, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

}  // namespace brevant
