// CTextProgressCtrl: the system progress control bound to this class, which answers the
// progress messages itself (ProgressModel) and paints a flat bar with a text that changes colour
// over the bar. Private messages: TPB_* below; styles PBS_VERTICAL and PBS_MARQUEE are read.
#pragma once

#include "controls/progress_model.h"
#include "framework/controls.h"

namespace controls {

constexpr UINT TPB_SETTEXTCOLOR = pbm::kSetTextColor;
constexpr UINT TPB_GETTEXTCOLOR = pbm::kGetTextColor;
constexpr UINT TPB_SETBARTEXTCOLOR = pbm::kSetBarTextColor;
constexpr UINT TPB_GETBARTEXTCOLOR = pbm::kGetBarTextColor;
constexpr UINT TPB_SHOWPERCENT = pbm::kShowPercent;
constexpr UINT TPB_SETALIGN = pbm::kSetAlign;
constexpr UINT TPB_SETMARQUEEBLOCK = pbm::kSetMarqueeBlock;
constexpr UINT TPB_STEPIT = pbm::kStepIt;

class CTextProgressCtrl : public fw::CProgressCtrl {
public:
    const ProgressModel& Model() const { return model_; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    LRESULT Apply(const ProgressEffect& effect);
    void Paint();
    static SystemColours SysColours();

    ProgressModel model_;
    fw::CFont verticalFont_;
};

}  // namespace controls
