#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "KeyedCollection.h"
#include "MLRuntime.h"
#include "clsPaperSize.h"

// The catalogue of named paper sizes, read from the support folder's
// sizes.xml, with the localised media descriptions the same file carries.
class clsPaperSizes {
 public:
  clsPaperSizes();
  ~clsPaperSizes();
  clsPaperSizes(const clsPaperSizes&) = delete;
  clsPaperSizes& operator=(const clsPaperSizes&) = delete;

  // Keyed by the upper-cased size name, in the order of insertion.
  KeyedCollection<std::shared_ptr<clsPaperSize>> paperSizes;
  // Tolerance in percent of the best-fit search.
  float overSizeMargin = 0;
  // Descriptions keyed by upper-cased item name; absent until readXML has run.
  std::optional<KeyedCollection<QString>> paperTypes;
  std::optional<KeyedCollection<QString>> paperLoadings;
  std::optional<KeyedCollection<QString>> paperStatus;
  std::optional<KeyedCollection<QString>> orientations;
  std::unique_ptr<MLRuntime::RuntimeSupport> ml_RuntimeSupport;

  // The item's description, or the name itself when there is none.
  QString getType(const QString& name) const;
  QString getLoading(const QString& name) const;
  QString getStatus(const QString& name) const;
  QString getOrient(const QString& name) const;

  // The size that best holds width x height (millimetres). `rotate` < 0 tries
  // both ways round and reports 0 or 270; otherwise a turn of 90 or 270 swaps
  // the request and `rotate` stays as it is.
  QString GetBestSizeName(double width, double height);
  QString GetBestSizeName(double width, double height, int& rotate);

  bool LoadFromReg(const QString& queue);
  void GetSheetDefaults(bool keepExisting);
  // Writes the default catalogue (sheets and rolls) to `path`.
  void WriteXML(const QString& path);
  void GetRollDefaults(bool keepExisting);
  void GetDefaults();
  void ClearSizes();
  bool SaveToReg(const QString& queue);

  // The entry of that name (any case), or null.
  clsPaperSize* getSize(const QString& name) const;
  // Stores a sheet landscape and (w, 0) as a roll; a size that is neither is removed.
  void setSize(const QString& SizeName, double width, double height,
               std::optional<qint32> sizeId = std::nullopt, const QString& desc = QString());
  // The name of the first entry with that id, or "ANY".
  QString getSizeID(qint16 sizeId) const;
  // Compares two entries for a document of dimX x dimY at pageScale percent
  // (below 1: scaled to fit size A). False for an unknown size or anything
  // that would divide by zero.
  bool CompareSize(const QString& sizeA, const QString& op, const QString& sizeB, double dimX, double dimY,
                   double pageScale) const;
  void readXML();
  void ml_RuntimeSupport_LanguageChanged(int LanguageID, const QString& Language);

 private:
  void LoadIsoSheetDefaults();
  void LoadDefaultSizes(const QString& families, bool sheets, bool rolls);
  // False when a tag of the file could not be read whole.
  bool readDescriptions();
};

// The catalogue file: support/sizes.xml beside the program, or in the folder
// named by KVT_SUPPORT_DIR.
QString paperSizesFile();
