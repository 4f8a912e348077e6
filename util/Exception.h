#pragma once

#include <exception>
#include <string>
#include <utility>

// Base of every failure the program reports: a message text and nothing else.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    const std::string& message() const noexcept { return Message; }

private:
    std::string Message;
};
