# Copies SOURCE into the folder TARGET when it exists, so a build works before the file does.
if(EXISTS "${SOURCE}")
  file(COPY "${SOURCE}" DESTINATION "${TARGET}")
endif()
