// Rows supplied by the converter's owner through its events.

#include "faximage/ImageReaders.h"
#include "platform/FxErrors.h"

#include <algorithm>

namespace faximage {

namespace {

class UserReader final : public InputReader {
public:
  UserReader(ReaderContext& context, std::string extension, UserReaderCallbacks callbacks)
      : m_ctx(context), m_extension(std::move(extension)), m_cb(std::move(callbacks)) {}

  std::string defaultExtension() const override { return m_extension; }

  int open(const std::string& name) override {
    if (m_cb.open)
      m_cb.open(name);
    return ecOK;
  }

  int readRow(uint8_t* raw, std::size_t& length, bool& endOfPage, bool& morePages) override {
    endOfPage = true;
    morePages = false;
    if (!m_cb.readLine)
      return ecOK;
    int len = 0;
    m_cb.readLine(raw, len, endOfPage, morePages);
    length = std::size_t(std::clamp(len, 0, int(kRawRowSize)));
    if (!endOfPage)
      m_ctx.bytesConverted += length;
    return ecOK;
  }

  void close() override {
    if (m_cb.close)
      m_cb.close();
  }

private:
  ReaderContext& m_ctx;
  std::string m_extension;
  UserReaderCallbacks m_cb;
};

} // namespace

std::unique_ptr<InputReader> makeUserReader(ReaderContext& context, std::string defaultExtension,
                                            UserReaderCallbacks callbacks) {
  return std::make_unique<UserReader>(context, std::move(defaultExtension), std::move(callbacks));
}

} // namespace faximage
