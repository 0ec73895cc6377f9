// The enhanced question messages as an expression handset reads and
// answers them. They travel through the asynchronous transport: the host's
// messages arrive whole after the handset has fetched their fragments, and
// the handset's requests and answers leave as get-message requests and
// response messages.
//
// Every message from the host starts with a type byte and a 16-bit
// big-endian length L counting the bytes after it:
//   01 L  value1 flags value2 bits...       session parameters (L = 3 + bit bytes)
//   02 L  number type option flags textLength(2) answerLength(2) text answer
//         (L = 8 + textLength + answerLength; for a Likert question, type 4,
//         the answer is one byte and L counts it even when it is absent)
//   03 L  flag text                          a message (L = text + 1)
//   04 L  text                               no more questions (L = text)
//   05 L  [flag text]                        a pop-up (L = 0 for an empty text)
// A message whose L disagrees with its bytes is not read.
#ifndef ORVEXSIM_ENHANCED_H
#define ORVEXSIM_ENHANCED_H

#include <cstdint>
#include <string>

#include "simtypes.h"

namespace orvexsim {

enum EnhancedMessageType : uint8_t {
  kSessionParametersMessage = 0x01,
  kQuestionMessage = 0x02,
  kTextMessage = 0x03,
  kNoMoreQuestionsMessage = 0x04,
  kPopUpMessage = 0x05,
};

// Byte 0 of the device data of a handset's get-message request.
enum EnhancedRequest : uint8_t {
  kRequestSessionParameters = 0x00,
  kRequestQuestion = 0x01,  // byte 2: the question's number
  kRequestShutDown = 0xFF,  // the handset is switching off
};

// What a handset reads in a question.
struct EnhancedQuestionInfo {
  uint8_t number = 0;
  uint8_t type = 0;    // 1 multiple choice ... 7 sort in order
  uint8_t option = 0;  // the type's option byte
  uint8_t flags = 0;
  Bytes text;          // UTF-8
  Bytes answer;        // the expected answer as the host sent it
};

struct EnhancedMessage {
  bool valid = false;  // the type is 1-5 and L agrees with the bytes
  uint8_t type = 0;
  Bytes body;          // the bytes after L
  EnhancedQuestionInfo question;  // type 2
};

EnhancedMessage readEnhancedMessage(const Bytes &message);

// The 8 bytes of device data of a request: request, 00, question number,
// then zero bytes.
Bytes enhancedRequest(uint8_t request, uint8_t questionNumber = 0);

// The answer message to a question of the type, from the handset's answer
// (rfhandsets.h: letters A-F for the choice types, 'A'/'B'/'C' for yes/no
// and true/false, one value byte for Likert, text for numeric and text):
//  - multiple choice, sort in order: the answer characters and two zero
//    bytes (the host reads all but the last two); with letters true the
//    letters A-F are keyed in the display form of the option byte's bits
//    1-0: digits 1-6 (0), lower case (1) or upper case (2);
//  - yes/no, true/false, Likert: the one byte;
//  - numeric, text: the text (the transport's zero padding ends it).
Bytes enhancedAnswer(uint8_t type, uint8_t option, const Bytes &answer, bool letters);

}  // namespace orvexsim

#endif
