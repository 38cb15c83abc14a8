#pragma once
// Enumerations and option bits of the fax converter.

namespace faximage {

enum TFaxInputDocumentType {
  idNone = 0,
  idText = 1,
  idTiff = 2,
  idPcx = 3,
  idDcx = 4,
  idBmp = 5,
  idBitmap = 6,
  idUser = 7
};

// Option bits, combined in a TFaxCvtOptionsSet.
enum TFaxCvtOptions : unsigned {
  coDoubleWidth = 1,
  coHalfHeight = 2,
  coCenterImage = 4,
  coYield = 8,
  coYieldOften = 16
};
using TFaxCvtOptionsSet = unsigned;

enum TFaxResolution { frNormal = 0, frHigh = 1 };
enum TFaxWidth { fwNormal = 0, fwWide = 1 };
enum TFaxFont { ffStandard = 0, ffSmall = 1 };

} // namespace faximage
