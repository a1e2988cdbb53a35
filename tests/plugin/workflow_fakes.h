// Fakes for driving the dialog workflow in tests: a view that records what the workflow shows,
// and an HTTP client that answers from a script.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugin/dialog_view.h"
#include "plugin/http_client.h"
#include "plugin/text_lines.h"

namespace veltra::plugin::testing {

class FakeView final : public DialogView {
 public:
  void SetStatus(std::string_view text) override { statuses.emplace_back(text); }
  void SetEditorText(std::string_view text) override { editor.SetText(text); }
  std::string EditorText() const override { return editor.Text(); }
  void AddEditorLine(std::string_view line) override { editor.Add(line); }
  void SetExecuteEnabled(bool enabled) override { execute_enabled = enabled; }
  void Close() override { closed = true; }

  std::string Status() const { return statuses.empty() ? std::string() : statuses.back(); }

  std::vector<std::string> statuses;  // every status text set, in order
  EditorLines editor;
  bool execute_enabled = true;  // the workflow must disable it itself
  bool closed = false;
};

// Answers each GET with `body` (reporting progress in chunks of `chunk` bytes) or throws `error`.
struct FakeHttp {
  std::string body;
  std::optional<std::string> error;
  size_t chunk = 4;
  std::vector<std::string> urls;         // every URL asked for
  std::vector<std::string> editor_seen;  // the editor's text when each GET began
  const DialogView* view = nullptr;
  int clients_made = 0;
  int clients_freed = 0;

  HttpClientFactory Factory() {
    return [this]() -> std::unique_ptr<HttpClient> { return std::make_unique<Client>(*this); };
  }

 private:
  class Client final : public HttpClient {
   public:
    explicit Client(FakeHttp& http) : http_(http) { ++http_.clients_made; }
    ~Client() override { ++http_.clients_freed; }
    std::string Get(const std::string& url, const THttpWorkEvent& on_work) override {
      http_.urls.push_back(url);
      if (http_.view != nullptr) http_.editor_seen.push_back(http_.view->EditorText());
      if (http_.error) throw EHttpError(*http_.error);
      for (size_t sent = 0; sent < http_.body.size();) {
        sent = std::min(http_.body.size(), sent + http_.chunk);
        if (on_work) on_work(TWorkMode::wmRead, static_cast<int64_t>(sent));
      }
      return http_.body;
    }

   private:
    FakeHttp& http_;
  };
};

}  // namespace veltra::plugin::testing
