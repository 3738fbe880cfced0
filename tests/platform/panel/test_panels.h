// A small panel set for model and script tests, and a recorder of callback events.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "panel/model.h"
#include "panel/resource.h"
#include "panel/view.h"

namespace paneltest {

struct Seen {
    int panel;
    int control;
    int event;
    int data1;
};

inline std::vector<Seen> &seen() {
    static std::vector<Seen> events;
    return events;
}

inline int recordCtrl(int panel, int control, int event, void *, int data1, int) {
    seen().push_back({panel, control, event, data1});
    return 0;
}

inline int recordPanel(int panel, int event, void *, int data1, int) {
    seen().push_back({panel, 0, event, data1});
    return 0;
}

inline constexpr char kPanels[] = R"(uir 1
panel MAIN 1
  title "Главная"
  geometry 10 10 500 400
  callback onPanel
  close-control CANCEL
  control OK 2 button
    label "__OK"
    callback onCtrl
    geometry 10 10 80 24
  end
  control NUM 3 numeric
    mode hot
    type double
    min 0
    max 10
    value 1
    precision 2
    label "Число"
    callback onCtrl
    geometry 60 10 80 22
  end
  control IND 4 numeric
    mode indicator
    type ushort
    value 7
    label "Показ"
    geometry 60 100 80 22
  end
  control RING 5 ring
    mode hot
    type ushort
    label "Выбор"
    callback onCtrl
    geometry 60 200 80 22
  end
  control LIST 6 listbox
    mode hot
    type int
    item "первый" 10
    item "второй" 20
    callback onCtrl
    geometry 100 10 150 80
  end
  control BOX 7 textbox
    mode indicator
    label "Журнал"
    geometry 200 10 300 68
  end
  control STR 8 string
    mode hot
    max-length 5
    value "abc"
    callback onCtrl
    geometry 100 200 100 22
  end
  control CANCEL 9 button
    label "Отмена"
    callback onCtrl
    geometry 10 100 80 24
  end
  control MSG 10 textmsg
    value "текст"
    geometry 10 300 100 18
  end
  control SHORT 11 numeric
    mode hot
    type short
    value -5
    label "Знак"
    callback onCtrl
    geometry 60 300 80 22
  end
  control TAB 12 tab
    mode hot
    geometry 280 10 300 110
    page ONE 0
      label "Один"
      geometry 24 0 300 80
      control GO 2 button
        label "Пуск"
        callback onCtrl
        geometry 10 10 80 24
      end
    end
    page TWO 1
      label "Два"
      geometry 24 0 300 80
      control GO 2 button
        label "Пуск"
        callback onCtrl
        geometry 10 10 80 24
      end
    end
  end
end
panel POP 2
  title "Окно"
  geometry 100 100 200 100
  control YES 2 button
    label "Да"
    callback onCtrl
    geometry 40 10 80 24
  end
end
)";

inline bool lookup(const std::string &name, CtrlCallbackPtr *control, PanelCallbackPtr *panelCb) {
    if (name == "onCtrl") {
        *control = recordCtrl;
        return true;
    }
    if (name == "onPanel") {
        *panelCb = recordPanel;
        return true;
    }
    return false;
}

// A model holding MAIN (shown) and POP (hidden).
class PanelsTest : public ::testing::Test {
  protected:
    panel::Model model;
    panel::Resource resource;
    int main = 0;
    int pop = 0;
    int one = 0;
    int two = 0;

    void SetUp() override {
        seen().clear();
        std::string error;
        ASSERT_TRUE(panel::parseResource(kPanels, "test.uir", resource, error)) << error;
        main = panel::buildPanel(model, resource, 1, 0, lookup, error);
        pop = panel::buildPanel(model, resource, 2, 0, lookup, error);
        ASSERT_GT(main, 0) << error;
        ASSERT_GT(pop, 0) << error;
        one = model.control(main, 12)->pages.at(0);
        two = model.control(main, 12)->pages.at(1);
        model.showPanel(main, true);
    }

    std::vector<int> events() {
        std::vector<int> kinds;
        for (const auto &s : seen())
            kinds.push_back(s.event);
        return kinds;
    }
};

}  // namespace paneltest
