#include "enhanced.h"

#include <algorithm>

namespace orvexsim {

namespace {

constexpr size_t kHeader = 3;          // type and L
constexpr size_t kQuestionFixed = 8;   // number, type, option, flags, two lengths
constexpr uint8_t kLikert = 4;

unsigned be16At(const Bytes &b, size_t at) { return static_cast<unsigned>(b[at]) << 8 | b[at + 1]; }

// Whether L (the length field) agrees with a body of the type.
bool lengthAgrees(uint8_t type, size_t length, const Bytes &body) {
  switch (type) {
  case kSessionParametersMessage: return length >= 3 && length == body.size();
  case kTextMessage: return length >= 1 && length == body.size();
  case kNoMoreQuestionsMessage: return length == body.size();
  case kPopUpMessage: return length == body.size() && length != 1;
  default: return false;
  }
}

bool readQuestion(size_t length, const Bytes &body, EnhancedQuestionInfo &q) {
  if (body.size() < kQuestionFixed) return false;
  q.number = body[0];
  q.type = body[1];
  q.option = body[2];
  q.flags = body[3];
  const size_t textLength = be16At(body, 4);
  const size_t answerLength = be16At(body, 6);
  if (q.type < 1 || q.type > 7 || kQuestionFixed + textLength > body.size()) return false;
  const size_t answerBytes = body.size() - kQuestionFixed - textLength;
  if (q.type == kLikert) {
    // One answer byte, counted by L even when no expected answer follows.
    if (answerBytes > 1 || length != kQuestionFixed + textLength + 1) return false;
  } else if (answerBytes != answerLength || length != body.size()) {
    return false;
  }
  q.text.assign(body.begin() + kQuestionFixed, body.begin() + static_cast<std::ptrdiff_t>(kQuestionFixed + textLength));
  q.answer.assign(body.begin() + static_cast<std::ptrdiff_t>(kQuestionFixed + textLength), body.end());
  return true;
}

}  // namespace

EnhancedMessage readEnhancedMessage(const Bytes &message) {
  EnhancedMessage m;
  if (message.size() < kHeader) return m;
  m.type = message[0];
  const size_t length = be16At(message, 1);
  m.body.assign(message.begin() + kHeader, message.end());
  m.valid = m.type == kQuestionMessage ? readQuestion(length, m.body, m.question) : lengthAgrees(m.type, length, m.body);
  return m;
}

Bytes enhancedRequest(uint8_t request, uint8_t questionNumber) {
  Bytes data(8, 0);
  data[0] = request;
  data[2] = questionNumber;
  return data;
}

Bytes enhancedAnswer(uint8_t type, uint8_t option, const Bytes &answer, bool letters) {
  switch (type) {
  case 1:
  case 7: {
    Bytes out(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(answer.size(), 6)));
    if (letters) {
      const int display = option & 3;
      for (uint8_t &c : out) {
        if (c < 'A' || c > 'F') continue;
        if (display == 0) c = static_cast<uint8_t>('1' + (c - 'A'));
        else if (display == 1) c = static_cast<uint8_t>(c + ('a' - 'A'));
      }
    }
    out.push_back(0);
    out.push_back(0);
    return out;
  }
  case 2:
  case 3:
  case 4: return Bytes{answer.empty() ? uint8_t{0} : answer[0]};
  default: return answer;
  }
}

}  // namespace orvexsim
