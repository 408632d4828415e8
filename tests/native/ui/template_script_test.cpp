// The portable engine's template descriptions agree with the resource script
// the DLL is built from: same controls in the same order, with the same ids,
// kinds, texts, positions, sizes and disabled/centred styles.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/portable/dialog_templates.h"
#include "tarnix_version.h"

namespace tarnix::test {
namespace {

using platform::portable::ControlKind;
using platform::portable::DialogTemplate;

// Throws when the file cannot be read: the test then fails and says which.
std::string SourceFile(const std::string& relative) {
  const char* root = std::getenv("TARNIX_SOURCE");
  const std::string path = std::string(root != nullptr ? root : ".") + "/" + relative;
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  if (!in || text.str().empty()) throw std::runtime_error("cannot read " + path);
  return text.str();
}

// Words of one line: quoted strings kept whole (with their quotes), commas and
// blanks separate, '|' kept as its own word.
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> out;
  std::string word;
  auto flush = [&] {
    if (!word.empty()) out.push_back(word);
    word.clear();
  };
  for (size_t i = 0; i < line.size(); ++i) {
    char ch = line[i];
    if (ch == '"') {
      flush();
      size_t end = line.find('"', i + 1);
      out.push_back(line.substr(i, end - i + 1));
      i = end;
    } else if (ch == ',' || std::isspace(static_cast<unsigned char>(ch))) {
      flush();
    } else if (ch == '|') {
      flush();
      out.emplace_back("|");
    } else {
      word.push_back(ch);
    }
  }
  flush();
  return out;
}

struct RcControl {
  std::string kind, text, style;
  int id = 0, x = 0, y = 0, width = 0, height = 0;
};
struct RcDialog {
  std::string caption;
  int width = 0, height = 0;
  std::vector<RcControl> controls;
};

class ResourceScript {
 public:
  ResourceScript() {
    // The splash's version and build lines are made by the build
    // (tarnix_version.h).
    defines_ = {{"IDOK", "1"},
                {"IDCANCEL", "2"},
                {"TARNIX_VERSION_LINE", "\"" TARNIX_VERSION_LINE "\""},
                {"TARNIX_BUILD_LINE", "\"" TARNIX_BUILD_LINE "\""}};
    // The ids, then the texts.
    for (const char* path : {"abi/resources/abi/resource_ids.h", "src/ui/resources.h"}) {
      std::istringstream header(SourceFile(path));
      for (std::string line; std::getline(header, line);) {
        std::vector<std::string> w = Words(line);
        if (w.size() >= 3 && w[0] == "#define") {
          std::string value = w[2];
          if (value == "(-1)") value = "-1";
          defines_[w[1]] = value;
        }
      }
    }
    std::istringstream script(SourceFile("src/ui/tarnix.rc"));
    RcDialog* current = nullptr;
    bool inBody = false;
    for (std::string line; std::getline(script, line);) {
      std::vector<std::string> w = Words(line);
      if (w.empty() || w[0].starts_with("//")) continue;
      if (w.size() == 6 && w[1] == "DIALOG") {
        current = &dialogs_[Number(w[0])];
        current->width = Number(w[4]);
        current->height = Number(w[5]);
      } else if (current != nullptr && w[0] == "CAPTION") {
        current->caption = Text(w[1]);
      } else if (current != nullptr && w[0] == "BEGIN") {
        inBody = true;
      } else if (current != nullptr && w[0] == "END") {
        inBody = false;
        current = nullptr;
      } else if (inBody) {
        current->controls.push_back(Control(w));
      }
    }
  }

  const RcDialog* Find(int id) const {
    auto it = dialogs_.find(id);
    return it == dialogs_.end() ? nullptr : &it->second;
  }

 private:
  std::string Resolve(const std::string& word) const {
    auto it = defines_.find(word);
    return it == defines_.end() ? word : Resolve(it->second);
  }
  int Number(const std::string& word) const { return std::stoi(Resolve(word)); }
  std::string Text(const std::string& word) const {
    std::string v = Resolve(word);
    return v.size() >= 2 && v.front() == '"' ? v.substr(1, v.size() - 2) : v;
  }
  static std::string Join(const std::vector<std::string>& w, size_t from) {
    std::string out;
    for (size_t i = from; i < w.size(); ++i) out += w[i];
    return out;
  }
  RcControl Control(const std::vector<std::string>& w) const {
    RcControl c;
    c.kind = w[0];
    size_t at = 1;
    if (c.kind == "CONTROL") {  // CONTROL text, id, class, style, x, y, w, h
      c.text = Text(w[1]);
      c.id = Number(w[2]);
      c.style = Join(w, 4);
      size_t n = w.size();
      c.x = Number(w[n - 4]);
      c.y = Number(w[n - 3]);
      c.width = Number(w[n - 2]);
      c.height = Number(w[n - 1]);
      if (c.style.find("SS_BITMAP") != std::string::npos) c.kind = "PICTURE";
      return c;
    }
    if (c.kind != "EDITTEXT" && c.kind != "COMBOBOX") c.text = Text(w[at++]);
    c.id = Number(w[at++]);
    c.x = Number(w[at++]);
    c.y = Number(w[at++]);
    c.width = Number(w[at++]);
    c.height = Number(w[at++]);
    c.style = Join(w, at);
    return c;
  }

  std::map<std::string, std::string> defines_;
  std::map<int, RcDialog> dialogs_;
};

class TemplateScriptTest : public ::testing::TestWithParam<int> {};

TEST_P(TemplateScriptTest, PortableDescriptionMatchesTheResourceScript) {
  const DialogTemplate* portable = platform::portable::FindDialogTemplate(GetParam());
  ASSERT_NE(portable, nullptr);
  ResourceScript script;
  const RcDialog* rc = script.Find(GetParam());
  ASSERT_NE(rc, nullptr) << "template " << GetParam() << " is not in tarnix.rc";

  EXPECT_EQ(rc->caption, portable->caption != nullptr ? portable->caption : "");
  EXPECT_EQ(rc->width, portable->width);
  EXPECT_EQ(rc->height, portable->height);
  ASSERT_EQ(rc->controls.size(), portable->controls.size());
  for (size_t i = 0; i < rc->controls.size(); ++i) {
    const RcControl& r = rc->controls[i];
    const auto& p = portable->controls[i];
    SCOPED_TRACE("control " + std::to_string(i) + " (" + r.kind + ")");
    EXPECT_EQ(r.kind, platform::portable::ControlKindName(p.kind));
    EXPECT_EQ(r.id, p.id);
    if (p.kind == ControlKind::kPicture) {
      EXPECT_EQ(r.text, std::to_string(p.image));
    } else if (p.text != nullptr && p.kind != ControlKind::kEdit && p.kind != ControlKind::kCombo) {
      EXPECT_EQ(r.text, p.text);
    }
    EXPECT_EQ((std::vector<int>{r.x, r.y, r.width, r.height}),
              (std::vector<int>{p.x, p.y, p.width, p.height}));
    EXPECT_EQ(r.style.find("WS_DISABLED") != std::string::npos,
              (p.flags & platform::portable::kControlDisabled) != 0);
    EXPECT_EQ(r.style.find("ES_CENTER") != std::string::npos,
              (p.flags & platform::portable::kControlCentred) != 0);
  }
}

// The native splash says which build it belongs to, not the DLL's.
TEST(SplashBuildLine, NamesTheLinuxBuild) {
  const DialogTemplate* splash = platform::portable::FindDialogTemplate(104);
  ASSERT_NE(splash, nullptr);
  ASSERT_GE(splash->controls.size(), 5u);
  EXPECT_STREQ(splash->controls[4].text, "Linux build");
}

INSTANTIATE_TEST_SUITE_P(Templates, TemplateScriptTest, ::testing::Values(101, 103, 104));

}  // namespace
}  // namespace tarnix::test
