// The texts of a site's last check, for the tip, the context menu and the balloon.
#pragma once
#include <stddef.h>

#include "acquisition/check_record.h"

// Why a fetch failed, in Japanese ("サーバーエラー (503)").
void DescribeFailure(FetchFailure failure, int status, char* dst, size_t size);
// "最終確認: 2026/12/10 12:34 変更なし", the failure and "(3 回連続)", or that the site was never
// checked (no record).
void DescribeLastCheck(const CheckRecord* record, char* dst, size_t size);
