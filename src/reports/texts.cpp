#include "reports/texts.h"

#include "text/cp932.h"

const ReportTexts& Texts() {
  static const ReportTexts texts{
      .aspiNotInstalled = Cp932("ASPI for WIN32が組み込まれていません"),
      .adapterInquiryFailed = Cp932("ホストアダプタ情報の取得に失敗しました"),
      .adapterCountLabel = Cp932("ホストアダプタの数      = "),
      .adapterScsiIdLabel = Cp932("SCSIホストアダプタの ID = "),
      .deviceSuffix = Cp932(" の装置"),
      .aspiDeviceTypeLabel = Cp932("ASPIのDevice Type"),
      .osManagedDriveText = Cp932("INT13H UNIT (OS管理) (ドライブ番号 = "),
      .driveText = Cp932("INT13H UNIT (ドライブ番号 = "),
      .headsLabel = Cp932("ヘッド変換値"),
      .sectorsLabel = Cp932("セクタ変換値"),
      .inquiryLabel = Cp932("SCSIのInquiry "),
      .vendorLabel = Cp932("ベンダＩＤ"),
      .productLabel = Cp932("プロダクトＩＤ"),
      .revisionLabel = Cp932("プロダクト版数"),
      .isoVersionLabel = Cp932("ISOバージョン"),
      .ecmaVersionLabel = Cp932("ECMAバージョン"),
      .ansiVersionLabel = Cp932("ANSIバージョン"),
      .dataFormatLabel = Cp932("Inquiryデータ書式"),
      .removableMedium = Cp932("メディア交換可能"),
      .asyncEventNotification = Cp932("AEN受信機能有り"),
      .relativeAddressing = Cp932("相対アドレス"),
      .wideBus32 = Cp932("３２ビットワイドバス"),
      .wideBus16 = Cp932("１６ビットワイドバス"),
      .synchronousTransfer = Cp932("同期転送可能"),
      .linkedCommands = Cp932("コマンドリンク有り"),
      .commandQueuing = Cp932("タグ付きコマンドキューイング有り"),
      .softReset = Cp932("ソフトリセット有り"),
      .readCapacityTitle = Cp932("Read Capacity情報"),
      .sectorSizeLabel = Cp932("セクタサイズ"),
      .capacityLabel = Cp932("容量(ﾒｶﾞﾊﾞｲﾄ)"),
      .serialNumberLabel = Cp932("シリアル番号"),
      .naaLabel = Cp932("NAA識別子"),
      .eui64Label = Cp932("EUI-64識別子"),
      .t10VendorIdLabel = Cp932("T10ベンダID識別子"),
      .scsiNameLabel = Cp932("SCSIネーム識別子"),
      .designatorTypeLabel = Cp932("識別子 種別"),
      .associationWords = {"", Cp932(" (ポート)"), Cp932(" (ターゲット)"), Cp932(" (予約)")},
  };
  return texts;
}
