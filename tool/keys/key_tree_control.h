// The main window's tree and details list as the device layer and the
// certificate code see them, over the real common controls.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "device_layer.h"

namespace brevant {

class KeyTreeControl : public KeyTreeWriter {
 public:
  explicit KeyTreeControl(HWND tree = nullptr) : tree_(tree) {}
  void Attach(HWND tree) { tree_ = tree; }
  HWND hwnd() const { return tree_; }

  HTREEITEM SelectedNode() const override;
  std::uint32_t NodeId(HTREEITEM node) const override;
  HTREEITEM ParentNode(HTREEITEM node) const override;
  HTREEITEM FirstChildNode(HTREEITEM node) const override;
  HTREEITEM AddNode(HTREEITEM parent, const std::string& text, int image, std::uint32_t id) override;
  void DeleteAllNodes() override;
  void SelectNode(HTREEITEM node) override;
  void ExpandNode(HTREEITEM node) override;
  HTREEITEM FirstRootNode() const override;
  HTREEITEM NextSiblingNode(HTREEITEM node) const override;
  std::string NodeText(HTREEITEM node) const override;

 private:
  HTREEITEM Next(HTREEITEM node, UINT relation) const;
  HWND tree_;
};

class DetailsListControl : public DetailsList {
 public:
  explicit DetailsListControl(HWND list = nullptr) : list_(list) {}
  void Attach(HWND list) { list_ = list; }
  // Full-row selection, then grid lines, track-select and info tips; a
  // caption column headed `header` and a value column without header.
  // The widths in pixels at 96 DPI, scaled to the list's.
  void SetUpColumns(const std::string& header, int caption_width, int value_width);
  void Clear() override;
  void AddRow(const std::string& caption, const std::string& value) override;

 private:
  HWND list_;
};

}  // namespace brevant
