#include "console.h"

#include <iostream>

void printLine(const std::string& text)
{
    std::cout << text << std::endl;
}

void printLine(int32 number)
{
    std::cout << number << std::endl;
}
