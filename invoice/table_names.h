// The tables and stored queries the invoice works on by name; fixed, the
// database's own spelling.
#pragma once

namespace tarvik::invoice::names {

inline constexpr const char* kHeaderTable = "Invoice_Header";
inline constexpr const char* kHeaderReportQuery = "v_Invoice_Hdr";
inline constexpr const char* kDetailReportQuery = "v_Invoice_Det";
inline constexpr const char* kHeaderTaxQuery = "v_Invoice_Up_Hdr_Tax";
inline constexpr const char* kDetailTaxQuery = "v_Invoice_Up_Det_Tax";
inline constexpr const char* kReportHeaderTable = "RPT_Invoice_Hdr";
inline constexpr const char* kReportDetailTable = "RPT_Invoice_Det";

}  // namespace tarvik::invoice::names
